// The library as outside callers see it: loaded with dlopen, every exported name found with dlsym,
// nothing else of ours exported, and a document lexed and parsed through the loaded pointers.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <antlr3.h>

#include "JSONTestSupport.h"

namespace {
const char* const kOwnExports[] = {"json_grammarLexerNew", "json_grammarLexerNewSSD", "json_grammarParserNew",
                                   "json_grammarParserNewSSD", "antlr3StringStreamFromFile"};

// The runtime's entry points outside callers reach through the library (libantlr3c's own).
const char* const kRuntimeExports[] = {"fillBufferExt",
                                       "antlr3Fread",
                                       "antlr3Fsize",
                                       "antlr3Fclose",
                                       "antlr3Fopen",
                                       "antlr3read8Bit",
                                       "antlr3StringStreamNew",
                                       "antlr3FileStreamNew",
                                       "antlr3CommonTokenStreamNew",
                                       "antlr3CommonTokenStreamSourceNew",
                                       "antlr3CommonTokenDebugStreamSourceNew",
                                       "antlr3TokenStreamNew",
                                       "antlr3SetTokenAPI",
                                       "antlr3TokenFactoryNew",
                                       "antlr3CommonTokenNew",
                                       "antlr3LexerNewStream",
                                       "antlr3LexerNew",
                                       "antlr3dfaspecialTransition",
                                       "antlr3dfaspecialStateTransition",
                                       "antlr3dfapredict",
                                       "antlr3MTExceptionNew",
                                       "antlr3BaseRecognizerNew",
                                       "antlr3RecognitionExceptionNew",
                                       "antlr3ParserNewStream",
                                       "antlr3ParserNew",
                                       "antlr3ParserNewStreamDbg",
                                       "antlr3StringFactoryNew",
                                       "antlr3TopoNew",
                                       "antlr3VectorFactoryNew",
                                       "antlr3SetVectorApi",
                                       "antlr3Hash",
                                       "antlr3EnumNew",
                                       "antlr3HashTableNew",
                                       "antlr3IntTrieNew",
                                       "antlr3StackNew",
                                       "antlr3ListNew",
                                       "antlr3VectorNew",
                                       "antlr3IntStreamNew",
                                       "antlr3BitsetCopy",
                                       "antlr3BitsetSetAPI",
                                       "antlr3BitsetLoad",
                                       "antlr3BitsetNew",
                                       "antlr3BitsetList",
                                       "antlr3BitsetOf",
                                       "antlr3ExceptionNew"};

// Names of the functions and objects a shared library defines in its dynamic symbol table.
std::set<std::string> DefinedDynamicSymbols(const char* path)
{
    std::set<std::string> names;
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return names;
    struct stat info = {};
    fstat(fd, &info);
    void* map = mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (map == MAP_FAILED)
        return names;
    const auto* base = static_cast<const uint8_t*>(map);
    const auto* header = reinterpret_cast<const Elf64_Ehdr*>(base);
    const auto* sections = reinterpret_cast<const Elf64_Shdr*>(base + header->e_shoff);
    for (int i = 0; i < header->e_shnum; ++i)
    {
        if (sections[i].sh_type != SHT_DYNSYM)
            continue;
        const auto* symbols = reinterpret_cast<const Elf64_Sym*>(base + sections[i].sh_offset);
        const char* strings = reinterpret_cast<const char*>(base + sections[sections[i].sh_link].sh_offset);
        const size_t count = sections[i].sh_size / sizeof(Elf64_Sym);
        for (size_t k = 1; k < count; ++k)
        {
            const int binding = ELF64_ST_BIND(symbols[k].st_info);
            if (symbols[k].st_shndx != SHN_UNDEF && (binding == STB_GLOBAL || binding == STB_WEAK))
                names.insert(strings + symbols[k].st_name);
        }
    }
    munmap(map, static_cast<size_t>(info.st_size));
    return names;
}

class LoadedLibrary
{
public:
    LoadedLibrary()
        : handle(dlopen(CSVQ_JSON_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL))
    {}
    ~LoadedLibrary()
    {
        if (handle != nullptr)
            dlclose(handle);
    }
    void* Find(const char* name) const { return dlsym(handle, name); }

    void* handle;
};
} // namespace

TEST(JSONExports, EveryNameResolvesThroughDlopen)
{
    LoadedLibrary library;
    ASSERT_NE(library.handle, nullptr) << dlerror();
    // Each of the 50 names (all different) resolves, ours into the library itself and the
    // runtime's into libantlr3c, which the library brings along.
    std::set<std::string> names;
    const auto fileOf = [&](const char* name) -> std::string {
        void* address = library.Find(name);
        Dl_info info = {};
        if (address == nullptr || dladdr(address, &info) == 0 || info.dli_fname == nullptr)
            return "";
        return info.dli_fname;
    };
    char ownPath[PATH_MAX];
    ASSERT_NE(realpath(CSVQ_JSON_LIBRARY_PATH, ownPath), nullptr);
    for (const char* name : kOwnExports)
    {
        names.insert(name);
        char resolved[PATH_MAX];
        const std::string file = fileOf(name);
        ASSERT_FALSE(file.empty()) << name;
        ASSERT_NE(realpath(file.c_str(), resolved), nullptr) << file;
        EXPECT_STREQ(resolved, ownPath) << name;
    }
    for (const char* name : kRuntimeExports)
    {
        names.insert(name);
        EXPECT_NE(fileOf(name).find("libantlr3c"), std::string::npos) << name << " from " << fileOf(name);
    }
    EXPECT_EQ(names.size(), 50u);
}

TEST(JSONExports, NothingElseOfOursIsExported)
{
    const std::set<std::string> defined = DefinedDynamicSymbols(CSVQ_JSON_LIBRARY_PATH);
    EXPECT_EQ(defined, std::set<std::string>(std::begin(kOwnExports), std::end(kOwnExports)));
    // fillBufferExt is the runtime's: the library must not bring a second one.
    EXPECT_EQ(defined.count("fillBufferExt"), 0u);
}

TEST(JSONExports, ParseThroughLoadedPointers)
{
    LoadedLibrary library;
    ASSERT_NE(library.handle, nullptr) << dlerror();
    using StreamFromFile = pANTLR3_INPUT_STREAM (*)(const wchar_t*, unsigned char*);
    using Fill = void (*)(pANTLR3_COMMON_TOKEN_STREAM);
    using SourceNew = pANTLR3_COMMON_TOKEN_STREAM (*)(ANTLR3_UINT32, pANTLR3_TOKEN_SOURCE);
    auto streamFromFile = reinterpret_cast<StreamFromFile>(library.Find("antlr3StringStreamFromFile"));
    auto lexerNew = reinterpret_cast<void* (*)(pANTLR3_INPUT_STREAM)>(library.Find("json_grammarLexerNew"));
    auto parserNew =
        reinterpret_cast<void* (*)(pANTLR3_COMMON_TOKEN_STREAM)>(library.Find("json_grammarParserNew"));
    auto fill = reinterpret_cast<Fill>(library.Find("fillBufferExt"));
    auto sourceNew = reinterpret_cast<SourceNew>(library.Find("antlr3CommonTokenStreamSourceNew"));
    ASSERT_TRUE(streamFromFile && lexerNew && parserNew && fill && sourceNew);

    TempDir dir;
    const std::string path = dir.Write("loaded.json", "{\"a\": [1, 2.5, null]}");
    const std::wstring widePath(path.begin(), path.end());
    pANTLR3_INPUT_STREAM input =
        streamFromFile(widePath.c_str(), reinterpret_cast<unsigned char*>(const_cast<char*>("loaded.json")));
    ASSERT_NE(input, nullptr);

    // The context records as an outside caller declares them, member by member.
    struct LexerContext
    {
        pANTLR3_LEXER pLexer;
        LJSONParserEvents* events;
        void (*rules[22])(void*); // Colon ... Double
        void (*mTokens)(void*);
        const char* (*getGrammarFileName)();
        void (*reset)(void*);
        void (*free)(void*);
        void (*reportLexerError)(void*);
        bool strictNumbers;
    };
    struct ParserContext
    {
        pANTLR3_PARSER pParser;
        LJSONParserEvents* events;
        void (*jsonDocument)(void*);
        void (*jsonObject)(void*);
        void (*jsonArray)(void*);
        void (*object)(void*);
        void (*pair)(void*);
        void (*array)(void*);
        void (*value)(void*);
        void (*reportSyntaxError)(void*);
        const char* (*getGrammarFileName)();
        void (*reset)(void*);
        void (*free)(void*);
    };
    auto* lexer = static_cast<LexerContext*>(lexerNew(input));
    ASSERT_NE(lexer, nullptr);
    EXPECT_EQ(lexer->events, nullptr);
    EXPECT_TRUE(lexer->strictNumbers);
    EXPECT_TRUE(std::all_of(std::begin(lexer->rules), std::end(lexer->rules),
                            [](auto rule) { return rule != nullptr; }));
    EXPECT_EQ(reinterpret_cast<void*>(lexer->pLexer->mTokens), reinterpret_cast<void*>(lexer->mTokens));
    EXPECT_NE(lexer->reportLexerError, nullptr);
    EXPECT_NE(std::strstr(lexer->getGrammarFileName(), "json_grammar.g"), nullptr);
    pANTLR3_COMMON_TOKEN_STREAM tokens = sourceNew(ANTLR3_SIZE_HINT, lexer->pLexer->rec->state->tokSource);
    fill(tokens);
    // Tokens on every channel, whitespace included.
    EXPECT_EQ(tokens->tokens->count, 14u);
    auto* parser = static_cast<ParserContext*>(parserNew(tokens));
    ASSERT_NE(parser, nullptr);
    EXPECT_EQ(parser->events, nullptr);
    EXPECT_NE(parser->reportSyntaxError, nullptr);
    EXPECT_STREQ(parser->getGrammarFileName(), lexer->getGrammarFileName());
    RecordingEvents events;
    parser->events = &events;
    lexer->events = &events;
    parser->jsonDocument(parser);
    events.log.erase(std::remove(events.log.begin(), events.log.end(), "Stop?"), events.log.end());
    EXPECT_EQ(events.log,
              std::vector<std::string>({"ObjectStart 1:0@0+1", "Key \"a\" 1:1@1+3", "ArrayStart 1:6@6+1",
                                        "Integer 1 1:7@7+1", "Comma 1:8@8+1", "Double 2.5 1:10@10+3",
                                        "Comma 1:13@13+1", "Null 1:15@15+4", "ArrayEnd 1:19@19+1",
                                        "ObjectEnd 1:20@20+1"}));

    parser->free(parser);
    tokens->free(tokens);
    lexer->free(lexer);
    input->close(input);
}
