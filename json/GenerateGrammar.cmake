# Runs antlr3 on the JSON grammar and puts the members the generator emits at the end of the
# lexer and parser contexts into the places outside callers expect:
#   lexer:  pLexer, events, the rules, ..., free, reportLexerError, strictNumbers
#   parser: pParser, events, the rules, reportSyntaxError, getGrammarFileName, reset, free
# Usage: cmake -DANTLR3=... -DGRAMMAR_DIR=... -DOUT_DIR=... -P GenerateGrammar.cmake
file(MAKE_DIRECTORY ${OUT_DIR})
execute_process(
  COMMAND ${ANTLR3} -o ${OUT_DIR} -fo ${OUT_DIR} json_grammar.g
  WORKING_DIRECTORY ${GRAMMAR_DIR}
  RESULT_VARIABLE status
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
# antlr3 3.5.3 reports template warnings about attributes the C target does not use.
if(NOT status EQUAL 0 OR output MATCHES "error\\(")
  message(FATAL_ERROR "antlr3 failed on json_grammar.g (status ${status}):\n${output}")
endif()

function(move_member header member_regex anchor_regex after)
  file(READ ${header} text)
  string(REGEX MATCH "\n[ \t]*${member_regex}[^\n]*" member "${text}")
  if(member STREQUAL "")
    message(FATAL_ERROR "${header}: member ${member_regex} not found")
  endif()
  string(REPLACE "${member}" "" text "${text}")
  string(REGEX MATCH "\n[^\n]*${anchor_regex}[^\n]*" anchor "${text}")
  if(anchor STREQUAL "")
    message(FATAL_ERROR "${header}: anchor ${anchor_regex} not found")
  endif()
  if(after)
    string(REPLACE "${anchor}" "${anchor}${member}" text "${text}")
  else()
    string(REPLACE "${anchor}" "${member}${anchor}" text "${text}")
  endif()
  file(WRITE ${header} "${text}")
endfunction()

move_member(${OUT_DIR}/json_grammarLexer.h "LJSONParserEvents\\* events;" "pANTLR3_LEXER[ \t]+pLexer;" TRUE)
move_member(${OUT_DIR}/json_grammarParser.h "LJSONParserEvents\\* events;" "pANTLR3_PARSER[ \t]+pParser;" TRUE)
move_member(${OUT_DIR}/json_grammarParser.h "void \\(\\*reportSyntaxError\\)" "// Delegated rules" FALSE)
