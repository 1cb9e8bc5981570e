// The skin's XML subset: elements, double-quoted attributes, five entities, comments and processing
// instructions skipped. The whole text is one UTF-16 buffer; names and values point into it.
// Portable apart from LoadFile (SkinXmlFile.cpp), so the parser is fuzzed natively.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace SkinUI {

class CSkinXml;

// A light handle (reader, element index); invalid handles answer empty texts and invalid relatives.
class CSkinXmlNode {
public:
    CSkinXmlNode() = default;
    CSkinXmlNode(const CSkinXml* xml, int index) : xml_(xml), index_(index) {}

    bool IsValid() const { return xml_ && index_ >= 0; }
    const wchar_t* GetName() const;
    const wchar_t* GetValue() const;  // the element's text
    int GetAttributeCount() const;
    const wchar_t* GetAttributeName(int i) const;
    const wchar_t* GetAttributeValue(int i) const;
    const wchar_t* GetAttributeValue(const wchar_t* name) const;  // null when absent
    bool HasAttributes() const { return GetAttributeCount() > 0; }
    bool HasChildren() const { return GetChild().IsValid(); }
    CSkinXmlNode GetChild() const;
    CSkinXmlNode GetSibling() const;
    CSkinXmlNode GetParent() const;

private:
    const CSkinXml* xml_ = nullptr;
    int index_ = -1;
};

class CSkinXml {
public:
    enum Encoding { kEncoding_Utf8 = 0, kEncoding_Utf16 = 1, kEncoding_Ansi = 2 };
    static constexpr size_t kMaxFileSize = 4194304;

    explicit CSkinXml(bool preserveWhitespace = true) : preserveWhitespace_(preserveWhitespace) {}

    bool LoadBuffer(const void* bytes, size_t size, int encoding = kEncoding_Utf8);
    // From the resource zip when there is one, else from the resource path (Windows only).
    bool LoadFile(const wchar_t* fileName, int encoding = kEncoding_Utf8);
    void Release();

    CSkinXmlNode GetRoot() const { return CSkinXmlNode(this, elements_.empty() ? -1 : 0); }
    const wchar_t* GetErrorText() const { return errorText_.c_str(); }
    const wchar_t* GetErrorPlace() const { return errorPlace_.c_str(); }

private:
    friend class CSkinXmlNode;
    struct Element {
        size_t name;
        int parent, child = -1, next = -1, lastChild = -1;
        size_t firstAttribute, attributeCount = 0;
        size_t data;  // npos: no text
    };
    struct Attribute {
        size_t name, value;
    };
    struct Span {
        size_t start, length;
    };

    bool Parse();
    bool Fail(const wchar_t* text, size_t at);
    wchar_t At(size_t i) const { return i < text_.size() ? text_[i] : 0; }
    bool StartsWith(size_t i, const wchar_t* s) const;
    void SkipBlanks(size_t& i) const;
    size_t ReadName(size_t& i) const;
    // Decodes entities in place from i up to the stop character; answers the span of the decoded text.
    Span ReadText(size_t& i, wchar_t stop, bool* stopped);
    int AddElement(size_t name, int parent);

    bool preserveWhitespace_;
    std::vector<wchar_t> text_;  // the decoded markup, later terminated in place
    std::vector<Element> elements_;
    std::vector<Attribute> attributes_;
    std::vector<size_t> terminators_;
    int lastTop_ = -1;
    std::wstring errorText_, errorPlace_;
};

}  // namespace SkinUI
