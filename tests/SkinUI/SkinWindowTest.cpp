// The installer's skin in a real window under wine: geometry, input driven by window messages, pictures.
#include "SkinUI/WindowImplBase.h"

#include <memory>

#include <gtest/gtest.h>

#include "SkinTestSupport.h"
#include "SkinUI/SkinResources.h"
#include "SkinUI/UICheckBox.h"
#include "SkinUI/UIContainer.h"
#include "SkinUI/UIProgress.h"
#include "SkinUI/UITabLayout.h"

using namespace SkinUI;
using skintest::TestWindow;

namespace {

struct Box {
    const wchar_t* name;
    RECT rect;
};

std::string Describe(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

// The notifications of the given types only.
std::vector<std::wstring> Only(const std::vector<std::wstring>& notes, std::initializer_list<const wchar_t*> types)
{
    std::vector<std::wstring> out;
    for (const std::wstring& n : notes)
        for (const wchar_t* t : types)
            if (n.compare(0, wcslen(t) + 1, std::wstring(t) + L":") == 0)
                out.push_back(n);
    return out;
}

bool Teal(uint32_t p)
{
    const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
    return r < 0x40 && g > 0x90 && b > 0x80;
}

class SkinWindow : public ::testing::Test {
protected:
    void SetUp() override { SetResourcePath(skintest::SkinFolder()); }

    std::unique_ptr<TestWindow> Open(const wchar_t* skin)
    {
        auto window = std::make_unique<TestWindow>(skin);
        EXPECT_TRUE(window->Open());
        // As the installer starts: btn_start waits for the finish state.
        if (CControlUI* start = window->Find(L"btn_start"))
            start->SetVisible(false);
        UpdateWindow(window->GetHWND());
        return window;
    }

    // A window built from markup text, written to a folder of its own that the resource path points at.
    // Further files (name, content) go beside it.
    std::unique_ptr<TestWindow> OpenMarkup(const char* markup,
                                           std::initializer_list<std::pair<const wchar_t*, const char*>> files = {})
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        const std::wstring folder = std::wstring(temp) + L"skin_markup_window\\";
        CreateDirectoryW(folder.c_str(), nullptr);
        WriteTestFile(folder + L"test.xml", markup);
        for (const auto& f : files)
            WriteTestFile(folder + f.first, f.second);
        SetResourcePath(folder);
        return Open(L"test.xml");
    }

    static void WriteTestFile(const std::wstring& path, const char* content)
    {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, content, static_cast<DWORD>(strlen(content)), &written, nullptr);
        CloseHandle(file);
    }

    void ExpectBoxes(TestWindow& w, const std::vector<Box>& boxes)
    {
        for (const Box& b : boxes) {
            CControlUI* c = w.Find(b.name);
            ASSERT_NE(c, nullptr) << std::string(b.name, b.name + wcslen(b.name));
            EXPECT_EQ(Describe(c->GetPos()), Describe(b.rect)) << std::string(b.name, b.name + wcslen(b.name));
        }
    }

    static void SelectPage(TestWindow& w, int page)
    {
        w.Find<CTabLayoutUI>(L"switch")->SelectItem(page);
        skintest::Pump();
        UpdateWindow(w.GetHWND());
    }
};

TEST_F(SkinWindow, HomePageGeometry)
{
    auto w = Open(L"main.xml");
    RECT client;
    GetClientRect(w->GetHWND(), &client);
    EXPECT_EQ(Describe(client), "0,0,650,360");
    ExpectBoxes(*w, {{L"minbtn", {589, 12, 609, 32}},
                     {L"closebtn", {619, 12, 639, 32}},
                     {L"btn_install", {241, 185, 409, 231}},
                     {L"chk_agree", {21, 321, 41, 351}},
                     {L"btn_lisence", {41, 321, 429, 351}},
                     {L"chk_fold", {429, 321, 629, 351}}});
    CControlUI* logo = w->GetManager().FindControl(POINT{300, 120});
    ASSERT_NE(logo, nullptr);
    EXPECT_STREQ(logo->GetClass(), L"Control");
    EXPECT_EQ(Describe(logo->GetPos()), "121,103,528,155");

    // The agreement box image sits in the 14 x 14 square at 0,8 of the check box.
    w->Find<CCheckBoxUI>(L"chk_agree")->Selected(true);
    const skintest::Capture shot = skintest::CaptureWindow(w->GetHWND());
    EXPECT_TRUE(Teal(shot.At(22, 330)));
    EXPECT_TRUE(Teal(shot.At(33, 340)));
    EXPECT_FALSE(Teal(shot.At(22, 327)));
    EXPECT_FALSE(Teal(shot.At(36, 336)));
    EXPECT_FALSE(Teal(shot.At(28, 344)));

    // btn_start takes btn_install's place.
    w->Find(L"btn_install")->SetVisible(false);
    w->Find(L"btn_start")->SetVisible(true);
    UpdateWindow(w->GetHWND());
    ExpectBoxes(*w, {{L"btn_start", {241, 185, 409, 231}}});
}

TEST_F(SkinWindow, BannerPageGeometry)
{
    auto w = Open(L"main.xml");
    SelectPage(*w, 1);
    w->Find(L"buttonLayout")->SetVisible(true);
    UpdateWindow(w->GetHWND());
    ExpectBoxes(*w, {{L"banner", {1, 1, 649, 291}},
                     {L"progress_download", {51, 311, 484, 317}},
                     {L"btn_hide", {509, 311, 599, 343}},
                     {L"label_install", {51, 322, 267, 351}},
                     {L"label_progress", {267, 322, 484, 351}},
                     {L"buttonLayout", {11, 251, 641, 271}},
                     {L"spacer1", {11, 251, 242, 271}},
                     {L"spacer2", {410, 251, 641, 271}}});
    for (int i = 0; i < 10; ++i) {
        const std::wstring name = L"option_" + std::to_wstring(i);
        const RECT expected{250 + 16 * i, 251, 258 + 16 * i, 259};
        EXPECT_EQ(Describe(w->Find(name.c_str())->GetPos()), Describe(expected)) << i;
    }
    // The white row under the banner runs 2 pixels past the page and is cut there.
    CControlUI* row = w->Find(L"btn_hide")->GetParent()->GetParent();
    EXPECT_EQ(Describe(row->GetPos()), "1,291,649,361");

    auto* bar = w->Find<CProgressUI>(L"progress_download");
    EXPECT_EQ(bar->GetValue(), 30);
    EXPECT_EQ(Describe(bar->GetFilledRect()), "0,0,129,6");
    const skintest::Capture shot = skintest::CaptureWindow(w->GetHWND());
    EXPECT_TRUE(Teal(shot.At(51 + 120, 314)));
    EXPECT_FALSE(Teal(shot.At(51 + 135, 314)));
}

// Layout rules on a small markup of its own: an even split with the odd pixel last, an overfull column,
// and an Include whose file is missing, which leaves only its parent empty.
TEST_F(SkinWindow, LayoutSplitsOverflowAndMissingInclude)
{
    const char markup[] =
        "<Window size=\"300,200\"><VerticalLayout>"
        "<HorizontalLayout name=\"row\" width=\"100\" height=\"20\">"
        "<Control name=\"a\"/><Control name=\"b\"/><Control name=\"c\"/></HorizontalLayout>"
        "<VerticalLayout name=\"column\" height=\"100\">"
        "<Control name=\"top\" height=\"60\"/><Control name=\"middle\"/><Control name=\"bottom\" height=\"60\"/>"
        "</VerticalLayout>"
        "<HorizontalLayout name=\"included\"><Include source=\"absent.xml\"/></HorizontalLayout>"
        "<Control name=\"after\" height=\"10\"/></VerticalLayout></Window>";
    auto w = OpenMarkup(markup);
    ExpectBoxes(*w, {{L"a", {0, 0, 33, 20}},
                     {L"b", {33, 0, 66, 20}},
                     {L"c", {66, 0, 100, 20}},
                     {L"top", {0, 20, 300, 80}},
                     {L"middle", {0, 80, 300, 80}},
                     {L"bottom", {0, 80, 300, 140}},
                     {L"included", {0, 120, 300, 190}},
                     {L"after", {0, 190, 300, 200}}});
    EXPECT_EQ(w->Find<CContainerUI>(L"included")->GetCount(), 0);
}

// A colour's alpha: "#00FFFFFF" and six-digit colours are not drawn as backgrounds, but text and borders
// in them are drawn opaque.
TEST_F(SkinWindow, ColoursFollowTheAlphaRules)
{
    auto w = OpenMarkup("<Window size=\"200,100\"><VerticalLayout bkcolor=\"#FF0000FF\">"
                        "<Control name=\"clear\" height=\"20\" bkcolor=\"#00FFFFFF\"/>"
                        "<Label name=\"white\" height=\"40\" text=\"WWWWWWWW\" textcolor=\"#00FFFFFF\"/>"
                        "<Control name=\"six\" height=\"20\" bkcolor=\"#FF0000\"/>"
                        "<Control name=\"framed\" height=\"20\" bordersize=\"2\" bordercolor=\"#FF0000\"/>"
                        "</VerticalLayout></Window>");
    const skintest::Capture shot = skintest::CaptureWindow(w->GetHWND());
    const uint32_t blue = 0xFF0000FF, white = 0xFFFFFFFF, red = 0xFFFF0000;
    EXPECT_EQ(shot.At(100, 10), blue) << "#00FFFFFF background";
    EXPECT_EQ(shot.At(100, 70), blue) << "six-digit background";
    EXPECT_EQ(shot.At(0, 90), red) << "six-digit border";
    EXPECT_EQ(shot.At(100, 90), blue) << "inside the border";
    int whitePixels = 0;
    for (int y = 20; y < 60; ++y)
        for (int x = 0; x < 200; ++x)
            whitePixels += shot.At(x, y) == white;
    EXPECT_GT(whitePixels, 20) << "#00FFFFFF text is drawn white";
}

// Bad input in a skin never stops the window: unknown elements and attributes are passed over, a missing
// image and one that does not decode draw nothing, and the rest builds and paints.
TEST_F(SkinWindow, BadSkinInputIsPassedOver)
{
    auto w = OpenMarkup("<Window size=\"200,100\"><VerticalLayout bkcolor=\"#FF0000FF\">"
                        "<Gadget name=\"unknown\"/>"
                        "<Control name=\"odd\" height=\"20\" wobble=\"3\" bkcolor=\"#FFFF0000\"/>"
                        "<Control name=\"missing\" height=\"20\" bkimage=\"img/absent.png\"/>"
                        "<Control name=\"broken\" height=\"20\" bkimage=\"broken.png\"/>"
                        "<Button name=\"last\" height=\"20\" text=\"ok\""
                        " normalimage=\"file='broken.png' dest='0,0,8,8'\"/>"
                        "</VerticalLayout></Window>",
                        {{L"broken.png", "\x89PNG\r\n\x1a\nnot really an image"}});
    EXPECT_EQ(w->Find(L"unknown"), nullptr);
    ExpectBoxes(*w, {{L"odd", {0, 0, 200, 20}}, {L"missing", {0, 20, 200, 40}}, {L"last", {0, 60, 200, 80}}});
    const skintest::Capture shot = skintest::CaptureWindow(w->GetHWND());
    EXPECT_EQ(shot.At(100, 10), 0xFFFF0000u) << "the control with an unknown attribute still paints";
    EXPECT_EQ(shot.At(100, 30), 0xFF0000FFu) << "a missing image draws nothing";
    EXPECT_EQ(shot.At(100, 50), 0xFF0000FFu) << "an image that does not decode draws nothing";
}

TEST_F(SkinWindow, ClickNeedsPressAndReleaseInside)
{
    auto w = Open(L"main.xml");
    CControlUI* install = w->Find(L"btn_install");
    const POINT inside = TestWindow::Centre(install), outside{20, 200};

    w->notes.clear();
    w->Mouse(WM_LBUTTONDOWN, inside, MK_LBUTTON);
    w->Mouse(WM_MOUSEMOVE, outside, MK_LBUTTON);
    w->Mouse(WM_LBUTTONUP, outside);
    EXPECT_EQ(std::count(w->notes.begin(), w->notes.end(), L"click:btn_install"), 0);

    w->Mouse(WM_LBUTTONDOWN, inside, MK_LBUTTON);
    w->Mouse(WM_MOUSEMOVE, outside, MK_LBUTTON);
    w->Mouse(WM_MOUSEMOVE, inside, MK_LBUTTON);
    w->Mouse(WM_LBUTTONUP, inside);
    EXPECT_EQ(std::count(w->notes.begin(), w->notes.end(), L"click:btn_install"), 1);

    // A disabled button takes no click.
    install->SetEnabled(false);
    w->Mouse(WM_LBUTTONDOWN, inside, MK_LBUTTON);
    w->Mouse(WM_LBUTTONUP, inside);
    EXPECT_EQ(std::count(w->notes.begin(), w->notes.end(), L"click:btn_install"), 1);
}

TEST_F(SkinWindow, OptionsAndCheckBoxesNotifyAsTheyShould)
{
    auto w = Open(L"main.xml");
    auto click = [&](const wchar_t* name) {
        const POINT pt = TestWindow::Centre(w->Find(name));
        w->Mouse(WM_LBUTTONDOWN, pt, MK_LBUTTON);
        w->Mouse(WM_LBUTTONUP, pt);
    };

    // The check box has no group: each click toggles and notifies.
    auto* fold = w->Find<CCheckBoxUI>(L"chk_fold");
    ASSERT_FALSE(fold->IsSelected());
    w->notes.clear();
    click(L"chk_fold");
    EXPECT_TRUE(fold->IsSelected());
    click(L"chk_fold");
    EXPECT_FALSE(fold->IsSelected());
    EXPECT_EQ(Only(w->notes, {L"click", L"selectchanged"}), (std::vector<std::wstring>{L"click:chk_fold", L"selectchanged:chk_fold",
                                                    L"click:chk_fold", L"selectchanged:chk_fold"}));

    SelectPage(*w, 1);
    w->Find(L"buttonLayout")->SetVisible(true);
    UpdateWindow(w->GetHWND());
    auto* dot0 = w->Find<COptionUI>(L"option_0");
    auto* dot1 = w->Find<COptionUI>(L"option_1");
    w->notes.clear();
    click(L"option_0");
    click(L"option_0");  // already selected: a click, no change
    click(L"option_1");
    EXPECT_EQ(Only(w->notes, {L"click", L"selectchanged"}), (std::vector<std::wstring>{L"click:option_0", L"selectchanged:option_0", L"click:option_0",
                                                    L"click:option_1", L"selectchanged:option_1"}));
    EXPECT_FALSE(dot0->IsSelected());
    EXPECT_TRUE(dot1->IsSelected());

    // Deselecting a grouped option is silent and may leave the group empty.
    w->notes.clear();
    dot1->Selected(false, true);
    EXPECT_FALSE(dot1->IsSelected());
    EXPECT_TRUE(w->notes.empty());
}

TEST_F(SkinWindow, TabSelectNotifiesOnlyOnChange)
{
    auto w = Open(L"main.xml");
    auto* tab = w->Find<CTabLayoutUI>(L"switch");
    w->notes.clear();
    EXPECT_TRUE(tab->SelectItem(0));
    EXPECT_TRUE(tab->SelectItem(1));
    EXPECT_FALSE(tab->SelectItem(2));
    EXPECT_FALSE(tab->SelectItem(-1));
    EXPECT_EQ(tab->GetCurSel(), 1);
    EXPECT_EQ(std::count(w->notes.begin(), w->notes.end(), L"tabselect:switch"), 1);
    EXPECT_FALSE(w->Find(L"btn_install")->IsVisible());
    EXPECT_TRUE(w->Find(L"btn_hide")->IsVisible());
}

TEST_F(SkinWindow, DefaultKeys)
{
    auto w = Open(L"main.xml");
    SetForegroundWindow(w->GetHWND());
    // Return goes to the focused button.
    w->Find(L"btn_install")->SetFocus();
    w->notes.clear();
    w->PostMessage(WM_KEYDOWN, VK_RETURN, 0);
    skintest::Pump();
    EXPECT_EQ(std::count(w->notes.begin(), w->notes.end(), L"click:btn_install"), 1);
    EXPECT_TRUE(w->closeCodes.empty());
    // Escape asks to close with code 1; so does closebtn.
    w->PostMessage(WM_KEYDOWN, VK_ESCAPE, 0);
    skintest::Pump();
    const POINT close = TestWindow::Centre(w->Find(L"closebtn"));
    w->Mouse(WM_LBUTTONDOWN, close, MK_LBUTTON);
    w->Mouse(WM_LBUTTONUP, close);
    skintest::Pump();
    EXPECT_EQ(w->closeCodes, (std::vector<UINT>{1, 1}));
}

TEST_F(SkinWindow, CaptionDragsExceptOverButtons)
{
    auto w = Open(L"main.xml");
    RECT window;
    GetWindowRect(w->GetHWND(), &window);
    auto hit = [&](int x, int y) {
        return w->SendMessage(WM_NCHITTEST, 0, MAKELPARAM(window.left + x, window.top + y));
    };
    const POINT install = TestWindow::Centre(w->Find(L"btn_install"));
    const POINT close = TestWindow::Centre(w->Find(L"closebtn"));
    EXPECT_EQ(hit(300, 120), HTCAPTION);  // the logo
    EXPECT_EQ(hit(100, 60), HTCAPTION);   // an empty layout
    EXPECT_EQ(hit(install.x, install.y), HTCLIENT);
    EXPECT_EQ(hit(close.x, close.y), HTCLIENT);
    EXPECT_EQ(hit(300, 300), HTCLIENT);  // below the caption
    EXPECT_EQ(hit(1, 1), HTTOPLEFT);
    EXPECT_EQ(hit(300, 2), HTTOP);
    EXPECT_EQ(hit(648, 200), HTRIGHT);
    EXPECT_EQ(hit(648, 358), HTBOTTOMRIGHT);
    EXPECT_EQ(hit(2, 200), HTLEFT);
}

TEST_F(SkinWindow, SetTextRepaintsOnlyOnChange)
{
    auto w = Open(L"main.xml");
    CControlUI* install = w->Find(L"btn_install");
    UpdateWindow(w->GetHWND());
    ValidateRect(w->GetHWND(), nullptr);
    install->SetText(install->GetText());
    EXPECT_FALSE(GetUpdateRect(w->GetHWND(), nullptr, FALSE));
    install->SetText(L"Install now");
    RECT dirty;
    ASSERT_TRUE(GetUpdateRect(w->GetHWND(), &dirty, FALSE));
    EXPECT_EQ(Describe(dirty), "241,185,409,231");
}

TEST_F(SkinWindow, FocusingTheEditRaisesSetFocus)
{
    auto w = Open(L"main.xml");
    SetForegroundWindow(w->GetHWND());
    w->Find(L"bottomLayout")->SetVisible(true);
    w->ResizeClient(650, 435);
    skintest::Pump();
    UpdateWindow(w->GetHWND());
    CControlUI* edit = w->Find(L"edit_path");
    EXPECT_EQ(edit->GetPos().top, 360 + 21);
    edit->SetText(L"C:\\Program Files\\");
    w->notes.clear();
    const POINT pt = TestWindow::Centre(edit);
    w->Mouse(WM_LBUTTONDOWN, pt, MK_LBUTTON);
    w->Mouse(WM_LBUTTONUP, pt);
    EXPECT_EQ(std::count(w->notes.begin(), w->notes.end(), L"setfocus:edit_path"), 1);
    ASSERT_NE(edit->GetNativeWindow(), nullptr);
    // Focus elsewhere closes the native box again.
    w->Find(L"btn_browse")->SetFocus();
    skintest::Pump();
    EXPECT_EQ(edit->GetNativeWindow(), nullptr);
    EXPECT_EQ(std::count(w->notes.begin(), w->notes.end(), L"killfocus:edit_path"), 1);
}

TEST_F(SkinWindow, Pictures)
{
    struct Shot {
        const wchar_t* skin;
        const wchar_t* file;
        void (*prepare)(TestWindow&);
    };
    const Shot shots[] = {
        {L"main.xml", L"skin_home.png", [](TestWindow&) {}},
        {L"main.xml", L"skin_folder_panel.png",
         [](TestWindow& w) {
             w.Find<CCheckBoxUI>(L"chk_fold")->Selected(true);
             w.Find(L"bottomLayout")->SetVisible(true);
             w.Find(L"edit_path")->SetText(L"C:\\Program Files\\");
             w.ResizeClient(650, 435);
         }},
        {L"main.xml", L"skin_banner.png",
         [](TestWindow& w) {
             SelectPage(w, 1);
             w.Find(L"label_progress")->SetText(L"30 %");
             w.Find(L"buttonLayout")->SetVisible(true);
             for (int i = 3; i < 10; ++i)
                 w.Find((L"option_" + std::to_wstring(i)).c_str())->SetVisible(false);
             w.Find<COptionUI>(L"option_0")->Selected(true);
         }},
        {L"main.xml", L"skin_finish.png",
         [](TestWindow& w) {
             w.Find(L"btn_install")->SetVisible(false);
             w.Find(L"btn_start")->SetVisible(true);
             w.Find(L"lineLayout")->SetVisible(false);
             w.Find(L"customLayout")->SetVisible(false);
         }},
        {L"main_rtl.xml", L"skin_home_rtl.png", [](TestWindow&) {}},
        {L"main_rtl.xml", L"skin_banner_rtl.png",
         [](TestWindow& w) {
             SelectPage(w, 1);
             w.Find<CProgressUI>(L"progress_download")->SetValue(70);
             w.Find(L"label_progress")->SetText(L"30 %");
         }},
    };
    for (const Shot& s : shots) {
        auto w = Open(s.skin);
        w->Find<CCheckBoxUI>(L"chk_agree")->Selected(true);
        s.prepare(*w);
        skintest::Pump();
        const skintest::Capture shot = skintest::CaptureWindow(w->GetHWND());
        skintest::SavePng(shot, s.file);
        // White inside, the light grey frame at the edge.
        EXPECT_EQ(shot.At(shot.width / 2, 300), 0xFFFFFFFFu) << std::string(s.file, s.file + wcslen(s.file));
        EXPECT_NE(shot.At(0, shot.height / 2), 0xFFFFFFFFu);
    }
}

}  // namespace
