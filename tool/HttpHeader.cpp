#include "HttpHeader.h"

#include <cstdlib>

void CHttpHeader::AddHeader(const std::string& name, const std::string& value)
{
    m_headers.emplace(name, value);
}

std::string CHttpHeader::GetValue(const std::string& name) const
{
    auto it = m_headers.find(name);
    return it == m_headers.end() ? std::string() : it->second;
}

void CHttpHeader::AddDefaults()
{
    AddHeader("User-Agent", "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
                            "Chrome/80.0.4044.92 Safari/537.36");
    AddHeader("Accept", "*/*");
    AddHeader("Connection", "Keep-Alive");
    AddHeader("Accept-Language", "zh-CN,zh;q=0.9");
}

std::string CHttpHeader::GetHeaderString()
{
    AddDefaults();
    std::string lines;
    for (const auto& [name, value] : m_headers)
        lines += name + ": " + value + "\r\n";
    return lines;
}

std::string CHttpHeader::GetRequestHeader()
{
    if (m_version.empty())
        m_version = "HTTP/1.1";
    std::string lines = GetHeaderString();
    return "GET " + m_requestPath + " " + m_version + "\r\n" + lines + "\r\n";
}

void CHttpHeader::Parse(const std::string& head)
{
    size_t begin = 0;
    bool statusLine = true;
    while (begin <= head.size()) {
        size_t end = head.find("\r\n", begin);
        if (end == std::string::npos)
            end = head.size();
        std::string line = head.substr(begin, end - begin);
        begin = end + 2;
        if (statusLine) {
            statusLine = false;
            m_version = line.substr(0, 8);
            size_t first = line.find(' ');
            size_t second = first == std::string::npos ? std::string::npos : line.find(' ', first + 1);
            if (first != std::string::npos)
                m_statusCode = std::atoi(line.substr(first + 1, second - first - 1).c_str());
            m_reason = second == std::string::npos ? std::string() : line.substr(second + 1);
            continue;
        }
        size_t colon = line.find(": ");
        if (colon != std::string::npos)
            AddHeader(line.substr(0, colon), line.substr(colon + 2));
    }
}
