// Turns a markup file into a tree of controls and registers its fonts, images, defaults and texts.
#pragma once

#include <functional>
#include <string>

#include "SkinXml.h"
#include "UIDefs.h"

namespace SkinUI {

class CControlUI;
class CManagerUI;

class CMarkupBuilder {
public:
    // Asked for class names the builder does not know, before the callback.
    using Factory = std::function<CControlUI*(const wchar_t* className)>;
    static void RegisterFactory(Factory factory);

    // source: a file name, or with a resource type a decimal resource id. Answers the first control built at
    // the top level, or null (GetErrorText tells why when the markup did not load).
    CControlUI* Build(const std::wstring& source, const wchar_t* resourceType, IDialogBuilderCallback* callback,
                      CManagerUI* manager, CControlUI* parent = nullptr);
    const CSkinXml& GetMarkup() const { return xml_; }
    const wchar_t* GetErrorText() const { return xml_.GetErrorText(); }

    // A control of a known class name, or null.
    static CControlUI* CreateControl(const wchar_t* className);

private:
    CControlUI* BuildChildren(CSkinXmlNode node, CControlUI* parent, CManagerUI* manager);
    void RegisterResources(CSkinXmlNode root, CManagerUI* manager);

    CSkinXml xml_;
    IDialogBuilderCallback* callback_ = nullptr;
    int depth_ = 0;  // of nested includes
};

}  // namespace SkinUI
