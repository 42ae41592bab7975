// libFuzzer target: the open switch's message reader, fed a client's bytes in pieces. Byte 0
// seeds the piece sizes; the rest is what the client sent. The reader must give what the
// protocol says, however the bytes are cut: a message is a head of eight bytes, "CSVQ" and the
// body's length (32-bit big-endian, at most kOpenSwitchMaxBody), then the body: paths, each a
// 32-bit big-endian length (not 0) and that many bytes, starting with '/' and holding no NUL; at
// least one. Anything else is refused; fewer bytes than declared leave it incomplete; bytes after
// the declared body are never read. The same input's paths (split at NUL) must also come back
// from the messages the sending side makes of them.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "OpenSwitchMessage.h"

namespace {
using State = COpenSwitchMessageReader::State;

[[noreturn]] void Wrong(const char* what)
{
    std::fprintf(stderr, "open switch reader: %s\n", what);
    std::abort();
}

uint32_t BigEndian(const std::string& bytes, size_t at)
{
    return (static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) << 24) |
           (static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 2])) << 8) |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3]));
}

// What the protocol says of these bytes.
State Expected(const std::string& bytes, std::vector<std::string>& paths)
{
    paths.clear();
    // The eight bytes of the head are taken before any is looked at.
    if (bytes.size() < 8)
        return State::Incomplete;
    if (bytes.compare(0, 4, "CSVQ") != 0)
        return State::Refused;
    const uint32_t body = BigEndian(bytes, 4);
    if (body > kOpenSwitchMaxBody)
        return State::Refused;
    if (bytes.size() - 8 < body)
        return State::Incomplete;
    size_t at = 8;
    const size_t end = 8 + static_cast<size_t>(body);
    while (at < end)
    {
        if (end - at < 4)
            return State::Refused;
        const uint32_t length = BigEndian(bytes, at);
        at += 4;
        if (length == 0 || length > end - at)
            return State::Refused;
        const std::string path = bytes.substr(at, length);
        at += length;
        if (path[0] != '/' || path.find('\0') != std::string::npos)
            return State::Refused;
        paths.push_back(path);
    }
    return paths.empty() ? State::Refused : State::Complete;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 8192)
        return 0;
    uint32_t seed = data[0] * 2654435761u + 1;
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    std::vector<std::string> expectedPaths;
    const State expected = Expected(bytes, expectedPaths);

    // All at once, and in pieces of 0 to 16 bytes.
    COpenSwitchMessageReader whole;
    const State wholeState = whole.Feed(bytes.data(), bytes.size());
    COpenSwitchMessageReader pieces;
    State piecesState = State::Incomplete;
    for (size_t at = 0; at <= bytes.size();)
    {
        seed = seed * 1103515245u + 12345u;
        const size_t take = std::min<size_t>((seed >> 16) % 17, bytes.size() - at);
        piecesState = pieces.Feed(bytes.data() + at, take);
        if (piecesState != State::Incomplete && piecesState != pieces.GetState())
            Wrong("a state that is not kept");
        at += take;
        if (at == bytes.size())
            break;
    }
    if (wholeState != expected || piecesState != expected || whole.GetState() != expected)
        Wrong("a state the protocol does not give");
    if (expected == State::Complete && (whole.Paths() != expectedPaths || pieces.Paths() != expectedPaths))
        Wrong("other paths than the message holds");
    // Once decided, more bytes change nothing.
    if (expected != State::Incomplete &&
        (whole.Feed("CSVQ\0\0\0\5\0\0\0\1/", 13) != expected || whole.Paths().size() != expectedPaths.size()))
        Wrong("bytes read after the message was decided");

    // The sending side: the input's pieces between NULs as absolute paths.
    std::vector<std::string> sent;
    size_t from = 0;
    for (size_t i = 0; i <= bytes.size(); ++i)
    {
        if (i == bytes.size() || bytes[i] == '\0')
        {
            sent.push_back("/" + bytes.substr(from, i - from));
            from = i + 1;
        }
    }
    std::vector<std::string> received;
    for (const std::string& message : EncodeOpenSwitchMessages(sent))
    {
        COpenSwitchMessageReader reader;
        if (reader.Feed(message.data(), message.size()) != State::Complete)
            Wrong("a message the sending side made is not taken");
        received.insert(received.end(), reader.Paths().begin(), reader.Paths().end());
    }
    if (received != sent)
        Wrong("paths sent do not come back");
    return 0;
}
