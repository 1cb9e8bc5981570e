#pragma once
// Request headers shared by the client family, and the parsed head of an answer.
#include <cstdint>
#include <map>
#include <string>

class CHttpHeader {
public:
    virtual ~CHttpHeader() = default;

    // A name already present keeps its first value.
    void AddHeader(const std::string& name, const std::string& value);
    std::string GetValue(const std::string& name) const;
    // "Name: value\r\n" for every entry, defaults added first.
    std::string GetHeaderString();
    // A whole GET request head: request line, header lines, empty line.
    std::string GetRequestHeader();
    void Parse(const std::string& head);

    int32_t GetStatusCode() const { return m_statusCode; }
    const std::string& GetVersion() const { return m_version; }
    const std::string& GetReason() const { return m_reason; }
    void SetRequestPath(const std::string& path) { m_requestPath = path; }

private:
    void AddDefaults();

    int32_t m_statusCode = 0;
    std::string m_version; // empty means "HTTP/1.1"
    std::string m_reason;
    std::string m_requestPath;
    // std::less<std::string> compares bytes: capitals sort first, names are case-sensitive.
    std::map<std::string, std::string> m_headers;
};
