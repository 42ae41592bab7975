// The open switch's messages, apart from the socket: a message is the four bytes "CSVQ", the
// length of the body as a 32-bit big-endian number, then the body: each path as a 32-bit
// big-endian length followed by its bytes (UTF-8, absolute).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The largest message body the viewer reads.
inline constexpr uint32_t kOpenSwitchMaxBody = 1u << 20;

// Makes each path absolute against the current folder, byte for byte.
std::string AbsolutePathBytes(const std::string& path);

// The messages that carry these paths (bytes, each absolute): one message, or more when the
// paths do not fit into one body. A path that alone does not fit is left out.
std::vector<std::string> EncodeOpenSwitchMessages(const std::vector<std::string>& paths);

// Reads one message as its bytes arrive.
class COpenSwitchMessageReader
{
public:
    enum class State
    {
        Incomplete, // more bytes needed
        Complete,   // Paths() holds the message
        Refused,    // not a message of ours, too long, or malformed; stop reading
    };

    // Takes the next bytes. Once the message is complete or refused, further bytes change
    // nothing.
    State Feed(const char* data, size_t size);
    State GetState() const { return m_state; }
    const std::vector<std::string>& Paths() const { return m_paths; }

private:
    State Parse();

    State m_state = State::Incomplete;
    std::string m_header;
    uint32_t m_bodySize = 0;
    std::string m_body;
    std::vector<std::string> m_paths;
};
