// UTF-8 to UTF-16 as Windows decodes it (MultiByteToWideChar(CP_UTF8, 0, ...)): one U+FFFD per
// failed sequence, where a failed sequence is the lead byte plus the continuation bytes accepted
// before the failure was seen. C0, C1, F5 to FF and lone continuation bytes fail alone; overlong
// forms, surrogates and values past U+10FFFF are seen after the second byte, so that byte fails
// with the lead; a sequence cut by a byte that does not continue it, or by the end of the bytes,
// fails as far as it got. A four-byte sequence gives a surrogate pair.
//
// Every decoder here gives the same units for the same bytes and writes at most n units (never
// more units than bytes); each returns the count. Decoding stops only between sequences, so
// decoding in two parts cut between sequences gives the same text as decoding at once.
#pragma once

#include <cstddef>
#include <cstdint>

// The portable decoder (the code page decoder's).
size_t DecodeUtf8(const uint8_t* s, size_t n, char16_t* out);

// The same units, decoded with the widest vector kernel that SimdUse() allows (the CSV reader's).
size_t DecodeUtf8Fast(const uint8_t* s, size_t n, char16_t* out);

// The decoders DecodeUtf8Fast chooses from, so that each can be compared with the portable one
// within one process.
enum class Utf8Decoder
{
    Scalar, // DecodeUtf8
    Avx512, // well-formed runs 32 bytes at a time (SimdKernel::Avx512Utf8); the rest as Scalar
};

// Whether the decoder may run here (Scalar always may).
bool Utf8DecoderUsable(Utf8Decoder decoder);

// Decodes with the decoder named; one that may not run here decodes as Scalar.
size_t DecodeUtf8With(Utf8Decoder decoder, const uint8_t* s, size_t n, char16_t* out);
