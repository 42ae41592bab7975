// A registry of schema formats: a map from format name to its definition. The program keeps one
// instance for the process's lifetime; nothing fills or reads it yet.
#pragma once

#include <map>
#include <string>

class LJSONSchemaValidatorFormat
{
public:
    LJSONSchemaValidatorFormat() = default;
    virtual ~LJSONSchemaValidatorFormat();
    LJSONSchemaValidatorFormat(const LJSONSchemaValidatorFormat&) = delete;
    LJSONSchemaValidatorFormat& operator=(const LJSONSchemaValidatorFormat&) = delete;

private:
    std::map<std::u16string, std::u16string> formats;
};

// The process's one registry, constructed during static initialisation and destroyed at exit.
extern LJSONSchemaValidatorFormat g_jsonSchemaValidatorFormat;
