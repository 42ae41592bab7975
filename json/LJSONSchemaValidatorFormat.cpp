#include "LJSONSchemaValidatorFormat.h"

LJSONSchemaValidatorFormat g_jsonSchemaValidatorFormat;

LJSONSchemaValidatorFormat::~LJSONSchemaValidatorFormat()
{
    formats.clear();
}
