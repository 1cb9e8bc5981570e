// The text markup of showhtml controls: c, b, u, i, a, f and n tags in braces or angle brackets.
// The other tags of the syntax are read and ignored.
#include <algorithm>
#include <vector>

#include "Handles.h"
#include "SkinValue.h"
#include "UIManager.h"
#include "UIRender.h"

namespace SkinUI {

namespace {

struct Piece {
    std::wstring text;
    HFONT font;
    COLORREF color;
    int link;
    int x = 0, width = 0, height = 0, ascent = 0;
};

struct Line {
    std::vector<Piece> pieces;
    int width = 0, height = 0, ascent = 0;
};

struct Tag {
    bool closing = false;
    wchar_t letter = 0;
    std::wstring argument;
    size_t end = 0;  // index after the tag
};

bool IsOpen(wchar_t c) { return c == L'{' || c == L'<'; }
bool IsClose(wchar_t c) { return c == L'}' || c == L'>'; }

// A tag starts at i when it is "{x", "{x ", "{/x}" and so on with a lower-case letter x.
bool ReadTag(const std::wstring& s, size_t i, Tag& tag)
{
    if (!IsOpen(s[i]) || i + 2 >= s.size())
        return false;
    size_t j = i + 1;
    tag.closing = s[j] == L'/';
    if (tag.closing)
        ++j;
    if (j >= s.size() || s[j] < L'a' || s[j] > L'z')
        return false;
    tag.letter = s[j++];
    if (j >= s.size())
        return false;
    if (tag.closing) {
        if (!IsClose(s[j]))
            return false;
        tag.end = j + 1;
        return true;
    }
    if (s[j] != L' ' && !IsClose(s[j]))
        return false;
    size_t k = j;
    while (k < s.size() && !IsClose(s[k]))
        ++k;
    if (k >= s.size())
        return false;
    tag.argument = s.substr(j, k - j);
    const size_t first = tag.argument.find_first_not_of(L' ');
    tag.argument = first == std::wstring::npos ? std::wstring() : tag.argument.substr(first);
    tag.end = k + 1;
    return true;
}

class MarkupLayout {
public:
    MarkupLayout(HDC dc, CManagerUI* manager, HFONT font, COLORREF color, bool singleLine, int maxWidth, int hover)
        : dc_(dc), manager_(manager), baseFont_(font), baseColor_(color), singleLine_(singleLine),
          maxWidth_(maxWidth), hover_(hover)
    {
        lines_.emplace_back();
    }

    void Parse(const std::wstring& s)
    {
        std::wstring run;
        for (size_t i = 0; i < s.size();) {
            Tag tag;
            if (ReadTag(s, i, tag)) {
                Add(run);
                run.clear();
                Apply(tag);
                i = tag.end;
                continue;
            }
            run += s[i++];
        }
        Add(run);
        Finish();
    }

    const std::vector<Line>& Lines() const { return lines_; }
    const std::vector<std::wstring>& LinkTargets() const { return linkTargets_; }
    int Width() const
    {
        int w = 0;
        for (const Line& l : lines_)
            w = std::max(w, l.width);
        return w;
    }
    int Height() const
    {
        int h = 0;
        for (const Line& l : lines_)
            h += l.height;
        return h;
    }

private:
    HFONT Font() const { return fonts_.empty() ? baseFont_ : fonts_.back(); }
    COLORREF Color() const { return colors_.empty() ? baseColor_ : colors_.back(); }

    void Apply(const Tag& tag)
    {
        const wchar_t l = tag.letter;
        if (tag.closing) {
            if ((l == L'b' || l == L'u' || l == L'i' || l == L'f' || l == L'a') && !fonts_.empty())
                fonts_.pop_back();
            if ((l == L'c' || l == L'a') && !colors_.empty())
                colors_.pop_back();
            if (l == L'a')
                link_ = -1;
            return;
        }
        switch (l) {
        case L'c':
            colors_.push_back(CUIRender::ToColorRef(ParseColor(tag.argument.c_str(), true)));
            break;
        case L'b': fonts_.push_back(manager_->GetStyledFont(Font(), true, false, false)); break;
        case L'u': fonts_.push_back(manager_->GetStyledFont(Font(), false, true, false)); break;
        case L'i':
            if (tag.argument.empty())  // with an argument it is an inline image, which is not drawn
                fonts_.push_back(manager_->GetStyledFont(Font(), false, false, true));
            break;
        case L'f': fonts_.push_back(manager_->GetFont(ParseInt(tag.argument.c_str()))); break;
        case L'a': {
            link_ = static_cast<int>(linkTargets_.size());
            linkTargets_.push_back(tag.argument);
            const uint32_t color =
                link_ == hover_ ? manager_->GetDefaultLinkHoverFontColor() : manager_->GetDefaultLinkFontColor();
            colors_.push_back(CUIRender::ToColorRef(color));
            fonts_.push_back(manager_->GetStyledFont(Font(), false, true, false));
            break;
        }
        case L'n':
            if (!singleLine_)
                NewLine();
            break;
        default:
            break;
        }
    }

    void Add(const std::wstring& run)
    {
        size_t i = 0;
        while (i < run.size()) {
            // A word with the blanks that follow it.
            size_t j = i;
            while (j < run.size() && run[j] != L' ')
                ++j;
            while (j < run.size() && run[j] == L' ')
                ++j;
            Place(run.substr(i, j - i));
            i = j;
        }
    }

    void Place(const std::wstring& word)
    {
        SelectGuard select(dc_, Font());
        SIZE size{};
        GetTextExtentPoint32W(dc_, word.c_str(), static_cast<int>(word.size()), &size);
        Line* line = &lines_.back();
        if (!singleLine_ && line->width > 0 && line->width + size.cx > maxWidth_) {
            // The blanks at the end of a word may hang over the edge.
            std::wstring trimmed = word;
            while (!trimmed.empty() && trimmed.back() == L' ')
                trimmed.pop_back();
            SIZE bare{};
            GetTextExtentPoint32W(dc_, trimmed.c_str(), static_cast<int>(trimmed.size()), &bare);
            if (line->width + bare.cx > maxWidth_) {
                NewLine();
                line = &lines_.back();
            }
        }
        const TEXTMETRICW& tm = manager_->GetFontMetrics(Font());
        Piece piece{word, Font(), Color(), link_};
        piece.x = line->width;
        piece.width = size.cx;
        piece.height = tm.tmHeight;
        piece.ascent = tm.tmAscent;
        line->width += size.cx;
        line->pieces.push_back(std::move(piece));
    }

    void NewLine()
    {
        Finish();
        lines_.emplace_back();
    }

    void Finish()
    {
        Line& line = lines_.back();
        if (line.pieces.empty()) {
            const TEXTMETRICW& tm = manager_->GetFontMetrics(Font());
            line.height = tm.tmHeight;
            line.ascent = tm.tmAscent;
            return;
        }
        int descent = 0;
        for (const Piece& p : line.pieces) {
            line.ascent = std::max(line.ascent, p.ascent);
            descent = std::max(descent, p.height - p.ascent);
        }
        line.height = line.ascent + descent;
    }

    HDC dc_;
    CManagerUI* manager_;
    HFONT baseFont_;
    COLORREF baseColor_;
    bool singleLine_;
    int maxWidth_;
    int hover_;
    std::vector<HFONT> fonts_;
    std::vector<COLORREF> colors_;
    int link_ = -1;
    std::vector<std::wstring> linkTargets_;
    std::vector<Line> lines_;
};

// The paragraph direction: that of the first letter with a strong direction (Hebrew and Arabic read right to left).
bool ReadsRightToLeft(const std::wstring& text)
{
    for (wchar_t c : text) {
        if ((c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF))
            return true;
        if ((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= 0x00C0 && c <= 0x058F))
            return false;
    }
    return false;
}

}  // namespace

void CUIRender::DrawMarkupText(HDC dc, CManagerUI* manager, RECT& rc, const std::wstring& text, uint32_t color,
                               int font, UINT style, std::vector<MarkupLink>* links, int hover)
{
    if (links)
        links->clear();
    if (!manager || text.empty()) {
        if (style & DT_CALCRECT)
            rc.right = rc.left, rc.bottom = rc.top;
        return;
    }
    const bool singleLine = (style & DT_SINGLELINE) != 0;
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    MarkupLayout layout(dc, manager, manager->GetFont(font), ToColorRef(color), singleLine,
                        singleLine ? 9999 : width, hover);
    layout.Parse(text);
    if (style & DT_CALCRECT) {
        rc.right = rc.left + layout.Width();
        rc.bottom = rc.top + layout.Height();
        return;
    }
    int y = rc.top;
    if (style & DT_VCENTER)
        y += (height - layout.Height()) / 2;
    else if (style & DT_BOTTOM)
        y += height - layout.Height();

    DcStateGuard state(dc);
    IntersectClipRect(dc, rc.left, rc.top, rc.right, rc.bottom);
    SetBkMode(dc, TRANSPARENT);
    std::vector<RECT> linkRects(layout.LinkTargets().size(), RECT{0, 0, 0, 0});
    // Right-to-left text puts its words from the right end of the line towards the left.
    const bool rightToLeft = ReadsRightToLeft(text);
    for (const Line& line : layout.Lines()) {
        int x = rc.left;
        if (style & DT_CENTER)
            x += (width - line.width) / 2;
        else if (style & DT_RIGHT)
            x += width - line.width;
        for (const Piece& p : line.pieces) {
            const int top = y + line.ascent - p.ascent;
            const int left = rightToLeft ? x + line.width - p.x - p.width : x + p.x;
            SelectGuard select(dc, p.font);
            ::SetTextColor(dc, p.color);
            if (rightToLeft) {
                // The word's blanks belong on its left, towards the next word.
                const size_t end = p.text.find_last_not_of(L' ') + 1;
                SIZE word{};
                GetTextExtentPoint32W(dc, p.text.c_str(), static_cast<int>(end), &word);
                TextOutW(dc, left + p.width - word.cx, top, p.text.c_str(), static_cast<int>(end));
            } else {
                TextOutW(dc, left, top, p.text.c_str(), static_cast<int>(p.text.size()));
            }
            if (p.link >= 0) {
                RECT piece{left, y, left + p.width, y + line.height};
                IntersectRect(&piece, &piece, &rc);
                RECT& all = linkRects[static_cast<size_t>(p.link)];
                if (IsRectEmpty(&all))
                    all = piece;
                else
                    UnionRect(&all, &all, &piece);
            }
        }
        y += line.height;
    }
    if (links)
        for (size_t i = 0; i < linkRects.size(); ++i)
            links->push_back({linkRects[i], layout.LinkTargets()[i]});
}

}  // namespace SkinUI
