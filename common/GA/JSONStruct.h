#pragma once
// Base of the JSON record classes: each fills a target record it does not own from a parsed value,
// or builds a value from it with the allocator of the document being read or built.
#include <rapidjson/document.h>

#include <string>
#include <vector>

class IJSONStruct {
public:
    using Allocator = rapidjson::Document::AllocatorType;

    enum FilterMode { kFilter_Exclude = 0, kFilter_Only = 1 };

    explicit IJSONStruct(Allocator& allocator, FilterMode mode = kFilter_Exclude, std::vector<std::string> keys = {})
        : m_filterMode(mode), m_filterKeys(std::move(keys)), m_allocator(&allocator)
    {
    }

    // False when the value does not have the record's shape.
    virtual bool FromJson(const rapidjson::Value& value) = 0;
    virtual rapidjson::Value ToJson() = 0;
    virtual ~IJSONStruct() = default;

protected:
    bool IsKeyWritten(const std::string& key) const
    {
        bool listed = false;
        for (const auto& k : m_filterKeys)
            listed = listed || k == key;
        return m_filterMode == kFilter_Only ? listed : !listed;
    }
    // Adds a copied string member unless the filter leaves the key out.
    void AddString(rapidjson::Value& object, const char* key, const std::string& text) const
    {
        if (IsKeyWritten(key))
            object.AddMember(rapidjson::StringRef(key), rapidjson::Value(text.c_str(), static_cast<rapidjson::SizeType>(text.size()), *m_allocator), *m_allocator);
    }
    void AddValue(rapidjson::Value& object, const char* key, rapidjson::Value& value) const
    {
        if (IsKeyWritten(key))
            object.AddMember(rapidjson::StringRef(key), value, *m_allocator);
    }

    FilterMode m_filterMode;
    std::vector<std::string> m_filterKeys;
    Allocator* m_allocator; // shared with the document
};

// The record's ToJson value, pretty-printed (four blanks per level, "\n" line breaks); the document
// takes the value, so it must own the allocator the record was given.
std::string JsonToString(IJSONStruct& record, rapidjson::Document& document);
