// JSON lexer and parser for the ANTLR3 C runtime. The generated code reports everything it
// recognises to the caller's LJSONParserEvents object; the hooks it calls live in
// JSONGrammarSupport.cpp, so the actions below stay one-liners.
grammar json_grammar;

options {
    language = C;
}

// Imaginary types: never produced, they only hold their token numbers.
tokens { ARRAY; DOUBLE; ELEMENT; INTEGER; OBJECT; STRING; }

@lexer::includes {
#include "JSONGrammarSupport.h"
}

@lexer::context {
    LJSONParserEvents* events;
    void (*reportLexerError)(struct json_grammarLexer_Ctx_struct* ctx);
    bool strictNumbers;
}

@lexer::postinclude {
static void jsonTokensReportingErrors(pjson_grammarLexer ctx);
}

@lexer::apifuncs {
    jsonLexerInstallHooks(ctx);
    ctx->mTokens = jsonTokensReportingErrors;
    ctx->pLexer->mTokens = (void (*)(void*))(jsonTokensReportingErrors);
}

@lexer::members {
// Runs the generated token selection and hands any error it raised to the error hook; the
// runtime's token loop then recovers by its own rules.
static void jsonTokensReportingErrors(pjson_grammarLexer ctx)
{
    mTokens(ctx);
    if (ctx->pLexer->rec->state->error == ANTLR3_TRUE)
        ctx->reportLexerError(ctx);
}
}

@parser::includes {
#include "JSONGrammarSupport.h"
}

@parser::context {
    LJSONParserEvents* events;
    void (*reportSyntaxError)(struct json_grammarParser_Ctx_struct* ctx);
    ANTLR3_UINT32 nestingDepth;
    bool stopped;
}

// The generated constructor does not check the runtime parser; without one there is no parser.
@parser::apifuncs {
    if (ctx->pParser == NULL)
    {
        ANTLR3_FREE(ctx);
        return NULL;
    }
    jsonParserInstallHooks(ctx);
}

// No recovery: a rule that sees an exception reports it and returns; its caller goes on with
// the current token.
@rulecatch {
    if (HASEXCEPTION())
    {
        ctx->reportSyntaxError(ctx);
    }
}

jsonDocument
@init { jsonParserBeginDocument(ctx); }
    : value { jsonParserCheckTrailingInput(ctx); }
    ;

jsonObject
@init { jsonParserBeginDocument(ctx); }
    : object
    ;

jsonArray
@init { jsonParserBeginDocument(ctx); }
    : array
    ;

object
@init { JSONNestingLevel level(ctx); if (!level.Entered()) { goto ruleobjectEx; } }
    : lb=LBrace { jsonParserOnMark(ctx, JSON_MARK_OBJECT_START, lb); }
      ( pair ( c=Comma { jsonParserOnMark(ctx, JSON_MARK_COMMA, c); } pair )* )?
      rb=RBrace { jsonParserOnMark(ctx, JSON_MARK_OBJECT_END, rb); }
    ;

pair
    : s=String { jsonParserOnText(ctx, JSON_TEXT_KEY, s); } Colon value
    ;

// Any token but ']' after '[' is handed to value, which reports what cannot start a value;
// the generator would decide on the FIRST set of value instead, so that step is written out.
array
@init { JSONNestingLevel level(ctx); if (!level.Entered()) { goto rulearrayEx; } }
    : lb=LBracket { jsonParserOnMark(ctx, JSON_MARK_ARRAY_START, lb); }
      {
          if (LA(1) != RBracket)
          {
              value(ctx);
              if (HASEXCEPTION())
              {
                  goto rulearrayEx;
              }
          }
      }
      ( c=Comma { jsonParserOnMark(ctx, JSON_MARK_COMMA, c); } value )*
      rb=RBracket { jsonParserOnMark(ctx, JSON_MARK_ARRAY_END, rb); }
    ;

value
    : ( d=Double { jsonParserOnText(ctx, JSON_TEXT_DOUBLE, d); }
      | i=Integer { jsonParserOnText(ctx, JSON_TEXT_INTEGER, i); }
      | s=String { jsonParserOnText(ctx, JSON_TEXT_STRING, s); }
      | t=JSON_TRUE { jsonParserOnMark(ctx, JSON_MARK_TRUE, t); }
      | f=JSON_FALSE { jsonParserOnMark(ctx, JSON_MARK_FALSE, f); }
      | n=JSON_NULL { jsonParserOnMark(ctx, JSON_MARK_NULL, n); }
      | object
      | array
      )
      { jsonParserAfterValue(ctx); }
    ;

Colon : ':' ;
Comma : ',' ;
LBrace : '{' ;
RBrace : '}' ;
LBracket : '[' ;
RBracket : ']' ;
fragment Dot : '.' ;
JSON_TRUE : 'true' ;
JSON_FALSE : 'false' ;
JSON_NULL : 'null' ;
fragment Digit : '0'..'9' ;
fragment HexDigit : '0'..'9' | 'A'..'F' | 'a'..'f' ;
fragment UnicodeChar : '\u0000'..'\u0021' | '\u0023'..'\u005B' | '\u005D'..'\uFFFF' ;
fragment StringChar : UnicodeChar | EscapeSequence ;
fragment EscapeSequence
    : '\\' ( '"' | '/' | '\\' | 'b' | 'f' | 'n' | 'r' | 't' | 'u' HexDigit HexDigit HexDigit HexDigit )
    ;
// With strictNumbers off, leading zeros are taken into the number.
fragment Int
    : '-'? ( '0' { if (!ctx->strictNumbers) { while (LA(1) >= '0' && LA(1) <= '9') { MATCHANY(); } } }
           | '1'..'9' Digit*
           )
    ;
fragment Frac : '.' Digit+ ;
fragment Exp : ('E'|'e') ('+'|'-')? Digit+ ;
WhiteSpace : ( '\t' | '\n' | '\f' | '\r' | ' ' ) { $channel = 99; } ;
String : '"' ( UnicodeChar | EscapeSequence )* '"' ;
Integer : Int ;
Double : Int ( Frac Exp? | Exp ) ;
