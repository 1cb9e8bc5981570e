#include "MarkupBuilder.h"

#include <vector>

#include "SkinResources.h"
#include "SkinValue.h"
#include "UICheckBox.h"
#include "UIContainer.h"
#include "UIEdit.h"
#include "UIHorizontalLayout.h"
#include "UIManager.h"
#include "UIProgress.h"
#include "UITabLayout.h"
#include "UIText.h"
#include "UIVerticalLayout.h"

namespace SkinUI {

namespace {

// A file that includes itself would recurse until the stack runs out.
constexpr int kMaxIncludeDepth = 16;

std::vector<CMarkupBuilder::Factory>& Factories()
{
    static std::vector<CMarkupBuilder::Factory> factories;
    return factories;
}

bool Is(const wchar_t* a, const wchar_t* b) { return EqualsNoCase(a, b); }

const wchar_t* Attr(const CSkinXmlNode& node, const wchar_t* name)
{
    const wchar_t* v = node.GetAttributeValue(name);
    return v ? v : L"";
}

}  // namespace

void CMarkupBuilder::RegisterFactory(Factory factory) { Factories().push_back(std::move(factory)); }

CControlUI* CMarkupBuilder::CreateControl(const wchar_t* c)
{
    if (Is(c, L"Control"))
        return new CControlUI;
    if (Is(c, L"Label"))
        return new CLabelUI;
    if (Is(c, L"Text"))
        return new CTextUI;
    if (Is(c, L"Button"))
        return new CButtonUI;
    if (Is(c, L"Option"))
        return new COptionUI;
    if (Is(c, L"CheckBox"))
        return new CCheckBoxUI;
    if (Is(c, L"Edit"))
        return new CEditUI;
    if (Is(c, L"Progress"))
        return new CProgressUI;
    if (Is(c, L"Container"))
        return new CContainerUI;
    if (Is(c, L"VerticalLayout") || Is(c, L"VBox"))
        return new CVerticalLayoutUI;
    if (Is(c, L"HorizontalLayout") || Is(c, L"HBox"))
        return new CHorizontalLayoutUI;
    if (Is(c, L"TabLayout"))
        return new CTabLayoutUI;
    return nullptr;
}

CControlUI* CMarkupBuilder::Build(const std::wstring& source, const wchar_t* resourceType,
                                  IDialogBuilderCallback* callback, CManagerUI* manager, CControlUI* parent)
{
    callback_ = callback;
    bool loaded = false;
    if (resourceType) {
        std::vector<uint8_t> bytes;
        loaded = ReadModuleResource(source, resourceType, bytes) && xml_.LoadBuffer(bytes.data(), bytes.size());
    } else {
        loaded = xml_.LoadFile(source.c_str());
    }
    if (!loaded)
        return nullptr;
    const CSkinXmlNode root = xml_.GetRoot();
    if (manager) {
        RegisterResources(root, manager);
        if (Is(root.GetName(), L"Window") && manager->GetPaintWindow())
            for (int i = 0; i < root.GetAttributeCount(); ++i)
                manager->ApplyWindowAttribute(root.GetAttributeName(i), root.GetAttributeValue(i));
    }
    return BuildChildren(root, parent, manager);
}

void CMarkupBuilder::RegisterResources(CSkinXmlNode root, CManagerUI* manager)
{
    for (CSkinXmlNode node = root.GetChild(); node.IsValid(); node = node.GetSibling()) {
        const wchar_t* name = node.GetName();
        if (Is(name, L"Image")) {
            const wchar_t* file = node.GetAttributeValue(L"name");
            if (file && *file)
                manager->AddImage(file, Attr(node, L"restype"), ParseColor(Attr(node, L"mask")),
                                  ParseBool(Attr(node, L"shared")));
        } else if (Is(name, L"Font")) {
            const wchar_t* id = node.GetAttributeValue(L"id");
            const wchar_t* face = node.GetAttributeValue(L"name");
            if (!id || !face || ParseInt(id) < 0)
                continue;
            const wchar_t* size = node.GetAttributeValue(L"size");
            manager->AddFont(ParseInt(id), std::wstring(face).substr(0, 31), size ? ParseInt(size) : 12,
                             ParseBoolNoCase(Attr(node, L"bold")), ParseBoolNoCase(Attr(node, L"underline")),
                             ParseBoolNoCase(Attr(node, L"italic")), ParseBoolNoCase(Attr(node, L"default")),
                             ParseBoolNoCase(Attr(node, L"shared")));
        } else if (Is(name, L"Default")) {
            const wchar_t* cls = node.GetAttributeValue(L"name");
            const wchar_t* value = node.GetAttributeValue(L"value");
            if (cls && value)
                manager->AddDefaultAttributeList(cls, value, ParseBool(Attr(node, L"shared")));
        } else if (Is(name, L"MultiLanguage")) {
            const wchar_t* id = node.GetAttributeValue(L"id");
            const wchar_t* value = node.GetAttributeValue(L"value");
            if (id && value && ParseInt(id) >= 0)
                manager->AddMultiLanguageString(ParseInt(id), value);
        }
    }
}

CControlUI* CMarkupBuilder::BuildChildren(CSkinXmlNode root, CControlUI* parent, CManagerUI* manager)
{
    CControlUI* first = nullptr;
    for (CSkinXmlNode node = root.GetChild(); node.IsValid(); node = node.GetSibling()) {
        const wchar_t* className = node.GetName();
        if (Is(className, L"Image") || Is(className, L"Font") || Is(className, L"Default") ||
            Is(className, L"MultiLanguage"))
            continue;
        if (Is(className, L"Include")) {
            const wchar_t* source = node.GetAttributeValue(L"source");
            if (!source || !*source || depth_ >= kMaxIncludeDepth)
                continue;
            const wchar_t* countText = node.GetAttributeValue(L"count");
            const int count = countText ? ParseInt(countText) : 1;
            const std::wstring file = std::wstring(source).substr(0, 499);
            for (int i = 0; i < count; ++i) {
                CMarkupBuilder include;
                include.depth_ = depth_ + 1;
                CControlUI* built = include.Build(file, nullptr, callback_, manager, parent);
                if (!first)
                    first = built;
            }
            continue;
        }
        CControlUI* control = CreateControl(className);
        for (const Factory& factory : Factories()) {
            if (control)
                break;
            control = factory(className);
        }
        if (!control && callback_)
            control = callback_->CreateCustomControl(className);
        if (!control)
            continue;  // unknown: the element and everything in it are skipped

        if (node.HasChildren())
            BuildChildren(node, control, manager);
        if (parent) {
            if (ParseBool(Attr(node, L"cover"))) {
                parent->SetCoverControl(control);
            } else {
                auto* container = static_cast<IContainerUI*>(parent->GetInterface(L"IContainer"));
                if (!container || !container->Add(control)) {
                    control->Delete();
                    continue;
                }
            }
        }
        if (manager) {
            control->SetManager(manager, control->GetParent() ? control->GetParent() : parent, false);
            if (const std::wstring* defaults = manager->GetDefaultAttributeList(className))
                control->ApplyAttributeList(*defaults);
            for (int i = 0; i < node.GetAttributeCount(); ++i)
                control->SetAttribute(node.GetAttributeName(i), node.GetAttributeValue(i));
            control->SetManager(nullptr, control->GetParent() ? control->GetParent() : parent, false);
        }
        if (!first)
            first = control;
    }
    return first;
}

}  // namespace SkinUI
