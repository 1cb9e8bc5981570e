#pragma once
// What the network tests of the clients share: the stub servers' ports and folder (from the environment
// that the server wrapper sets), the test CA in the machine's root store, and the log file.
#include <windows.h>
#include <wincrypt.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Log.h"

namespace testsupport {

inline std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

inline std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

// The body of the stubs' /size/N and of the nginx files.
inline std::string Pattern(size_t n)
{
    std::string bytes(n, '\0');
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) % 256);
    return bytes;
}

inline std::string ReadFileBytes(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// A path below the test's working directory.
inline std::wstring WorkFile(const wchar_t* name)
{
    wchar_t cwd[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, cwd);
    return std::wstring(cwd) + L"\\" + name;
}

inline std::wstring StubFile(const char* name)
{
    return Wide(Env("QV_STUB_DIR")) + L"\\" + Wide(name);
}

// Picks what the TLS front on :443 does with the next connections: trusted, expired, selfsigned or fail.
inline void SetTlsMode(const char* mode)
{
    std::ofstream(StubFile("tls_mode").c_str(), std::ios::trunc) << mode;
}

// "port method target" lines of every request the stub router answered so far.
inline std::string StubRequests()
{
    return ReadFileBytes(StubFile("requests.log"));
}

// The test CA in the machine's root store. Wine's crypt32 reads that store once per process, so the
// change is made by a child process before this one first builds a certificate chain.
inline bool ChangeTestCaTrust(bool add)
{
    std::string der = ReadFileBytes(Wide(Env("QV_TEST_CA")));
    HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (!root)
        return false;
    PCCERT_CONTEXT ca = CertCreateCertificateContext(X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                                     static_cast<DWORD>(der.size()));
    bool done = false;
    if (ca && add) {
        done = CertAddCertificateContextToStore(root, ca, CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    } else if (ca) {
        PCCERT_CONTEXT found = CertFindCertificateInStore(root, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, ca, nullptr);
        done = !found || CertDeleteCertificateFromStore(found); // deleting frees the found context
    }
    if (ca)
        CertFreeCertificateContext(ca);
    CertCloseStore(root, 0);
    return done;
}

constexpr char kAddCaArg[] = "--add-test-ca";
constexpr char kRemoveCaArg[] = "--remove-test-ca";

// For main(): true when this process was started only to change the trust; rc is its exit code.
inline bool HandleTestCaCommand(int argc, char** argv, int& rc)
{
    if (argc != 2 || (std::string(argv[1]) != kAddCaArg && std::string(argv[1]) != kRemoveCaArg))
        return false;
    rc = ChangeTestCaTrust(std::string(argv[1]) == kAddCaArg) ? 0 : 1;
    return true;
}

// Trusts the test CA while it lives.
class TrustedTestCa {
public:
    TrustedTestCa() { m_installed = RunSelf(kAddCaArg); }
    ~TrustedTestCa() { RunSelf(kRemoveCaArg); }
    bool Installed() const { return m_installed; }
    TrustedTestCa(const TrustedTestCa&) = delete;
    TrustedTestCa& operator=(const TrustedTestCa&) = delete;

private:
    static bool RunSelf(const char* arg)
    {
        wchar_t exe[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, exe, MAX_PATH);
        std::wstring command = L"\"" + std::wstring(exe) + L"\" " + Wide(arg);
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessW(exe, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return false;
        DWORD rc = 1;
        if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0)
            GetExitCodeProcess(pi.hProcess, &rc);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return rc == 0;
    }

    bool m_installed = false;
};

// The log of this test program, in a folder of its own below the working directory.
class TestLog {
public:
    explicit TestLog(const wchar_t* name)
    {
        wchar_t cwd[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, cwd);
        m_folder = std::wstring(cwd) + L"\\log-" + name;
        m_path = m_folder + L"\\" + name + L".log";
        DeleteFileW(m_path.c_str());
        InitLog((std::wstring(name) + L".log").c_str(), m_folder.c_str());
    }
    // Everything logged from now on is what Since() returns.
    void Mark() { m_mark = Contents().size(); }
    std::string Since() const
    {
        std::string all = Contents();
        return all.size() > m_mark ? all.substr(m_mark) : std::string();
    }
    std::string Contents() const
    {
        // The log keeps its file open with sharing for readers.
        HANDLE file = CreateFileW(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return {};
        std::string text;
        char buffer[4096];
        DWORD n = 0;
        while (ReadFile(file, buffer, sizeof(buffer), &n, nullptr) && n > 0)
            text.append(buffer, n);
        CloseHandle(file);
        return text;
    }

private:
    std::wstring m_folder;
    std::wstring m_path;
    size_t m_mark = 0;
};

// Occurrences of needle in text.
inline int Count(const std::string& text, const std::string& needle)
{
    int n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size()))
        ++n;
    return n;
}

} // namespace testsupport
