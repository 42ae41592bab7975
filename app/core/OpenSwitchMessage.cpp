#include "OpenSwitchMessage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

const char kMagic[4] = {'C', 'S', 'V', 'Q'};
constexpr size_t kHeaderSize = 8;

void PutUint32(std::string& out, uint32_t value)
{
    out.push_back(static_cast<char>((value >> 24) & 0xFF));
    out.push_back(static_cast<char>((value >> 16) & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
    out.push_back(static_cast<char>(value & 0xFF));
}

uint32_t GetUint32(const char* p)
{
    auto b = [p](int i) { return static_cast<uint32_t>(static_cast<unsigned char>(p[i])); };
    return (b(0) << 24) | (b(1) << 16) | (b(2) << 8) | b(3);
}

std::string Message(const std::string& body)
{
    std::string message(kMagic, sizeof kMagic);
    PutUint32(message, static_cast<uint32_t>(body.size()));
    return message + body;
}

} // namespace

std::vector<std::string> EncodeOpenSwitchMessages(const std::vector<std::string>& paths)
{
    std::vector<std::string> messages;
    std::string body;
    for (const std::string& path : paths)
    {
        if (path.empty() || path.size() + 4 > kOpenSwitchMaxBody)
            continue;
        if (body.size() + 4 + path.size() > kOpenSwitchMaxBody)
        {
            messages.push_back(Message(body));
            body.clear();
        }
        PutUint32(body, static_cast<uint32_t>(path.size()));
        body += path;
    }
    if (!body.empty())
        messages.push_back(Message(body));
    return messages;
}

COpenSwitchMessageReader::State COpenSwitchMessageReader::Feed(const char* data, size_t size)
{
    while (m_state == State::Incomplete && size > 0)
    {
        if (m_header.size() < kHeaderSize)
        {
            size_t take = std::min(size, kHeaderSize - m_header.size());
            m_header.append(data, take);
            data += take;
            size -= take;
            if (m_header.size() < kHeaderSize)
                break;
            m_bodySize = GetUint32(m_header.data() + 4);
            // The declared length decides before a byte of the body is taken.
            if (std::memcmp(m_header.data(), kMagic, sizeof kMagic) != 0 || m_bodySize > kOpenSwitchMaxBody)
            {
                m_state = State::Refused;
                break;
            }
            if (m_bodySize == 0)
            {
                m_state = Parse();
                break;
            }
            continue;
        }
        size_t take = std::min<size_t>(size, m_bodySize - m_body.size());
        m_body.append(data, take);
        data += take;
        size -= take;
        if (m_body.size() == m_bodySize)
            m_state = Parse();
    }
    return m_state;
}

COpenSwitchMessageReader::State COpenSwitchMessageReader::Parse()
{
    size_t at = 0;
    while (at < m_body.size())
    {
        if (m_body.size() - at < 4)
            return State::Refused;
        uint32_t length = GetUint32(m_body.data() + at);
        at += 4;
        if (length == 0 || length > m_body.size() - at)
            return State::Refused;
        std::string path = m_body.substr(at, length);
        at += length;
        if (path[0] != '/' || path.find('\0') != std::string::npos)
            return State::Refused;
        m_paths.push_back(std::move(path));
    }
    m_body.clear();
    return m_paths.empty() ? State::Refused : State::Complete;
}

std::string AbsolutePathBytes(const std::string& path)
{
    if (path.empty() || path[0] == '/')
        return path;
    std::string cwd(4096, '\0');
    while (!getcwd(cwd.data(), cwd.size()))
    {
        if (errno != ERANGE)
            return path;
        cwd.resize(cwd.size() * 2);
    }
    cwd.resize(std::strlen(cwd.c_str()));
    if (cwd.empty() || cwd.back() != '/')
        cwd += '/';
    return cwd + path;
}
