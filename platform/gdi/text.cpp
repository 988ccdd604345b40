#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <map>
#include <mutex>
#include <pango/pangocairo.h>

#include "platform/gdi/objects.h"
#include "platform/os/codepage.h"

// ---- UTF conversions ------------------------------------------------------------

std::string Utf16ToUtf8(const std::u16string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        AppendUtf8Unchecked(out, c);
    }
    return out;
}

std::u16string Utf8ToUtf16(const std::string& s) {
    std::u16string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        auto b = uint8_t(s[i]);
        uint32_t c;
        int n;
        if (b < 0x80)
            c = b, n = 0;
        else if ((b & 0xE0) == 0xC0)
            c = b & 0x1F, n = 1;
        else if ((b & 0xF0) == 0xE0)
            c = b & 0x0F, n = 2;
        else if ((b & 0xF8) == 0xF0)
            c = b & 0x07, n = 3;
        else {
            out += u'\xFFFD';
            ++i;
            continue;
        }
        if (n > 0 && i + size_t(n) >= s.size()) {
            out += u'\xFFFD';
            break;
        }
        bool ok = true;
        for (int k = 1; k <= n; ++k) {
            auto cb = uint8_t(s[i + size_t(k)]);
            if ((cb & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            c = (c << 6) | (cb & 0x3F);
        }
        if (!ok) {
            out += u'\xFFFD';
            ++i;
            continue;
        }
        i += size_t(n) + 1;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += char16_t(0xD800 + (c >> 10));
            out += char16_t(0xDC00 + (c & 0x3FF));
        } else {
            out += char16_t(c);
        }
    }
    return out;
}

// ---- Fonts ---------------------------------------------------------------------------

std::string ResolveFontFamily(const std::string& face) {
    // Faces the forms and skins name, mapped to installed metric-compatible families.
    static const std::map<std::string, std::string> aliases = {
        {"arial", "Liberation Sans"},
        {"helvetica", "Liberation Sans"},
        {"ms sans serif", "Liberation Sans"},
        {"microsoft sans serif", "Liberation Sans"},
        {"ms shell dlg", "Liberation Sans"},
        {"ms shell dlg 2", "DejaVu Sans"},
        {"tahoma", "DejaVu Sans"},
        {"verdana", "DejaVu Sans"},
        {"segoe ui", "DejaVu Sans"},
        {"times new roman", "Liberation Serif"},
        {"courier new", "Liberation Mono"},
        {"courier", "Liberation Mono"},
        {"system", "Liberation Sans"},
        {"", "Liberation Sans"},
    };
    std::string key;
    for (char c : face)
        key += char(std::tolower(uint8_t(c)));
    auto it = aliases.find(key);
    return it != aliases.end() ? it->second : face;
}

namespace {

PangoContext* context() {
    struct Holder {
        PangoContext* ctx = nullptr;
        ~Holder() {
            if (ctx) g_object_unref(ctx);
        }
    };
    thread_local Holder h;
    if (!h.ctx) {
        PangoFontMap* map = pango_cairo_font_map_get_default();
        h.ctx = pango_font_map_create_context(map);
        cairo_font_options_t* opt = cairo_font_options_create();
        cairo_font_options_set_antialias(opt, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(opt, CAIRO_HINT_STYLE_SLIGHT);
        cairo_font_options_set_hint_metrics(opt, CAIRO_HINT_METRICS_ON);
        pango_cairo_context_set_font_options(h.ctx, opt);
        cairo_font_options_destroy(opt);
        pango_cairo_context_set_resolution(h.ctx, 96);
    }
    return h.ctx;
}

struct FontDesc {
    PangoFontDescription* d;
    explicit FontDesc(PangoFontDescription* p) : d(p) {}
    ~FontDesc() { pango_font_description_free(d); }
    FontDesc(const FontDesc&) = delete;
    FontDesc& operator=(const FontDesc&) = delete;
};

PangoFontDescription* baseDesc(const LOGFONT& lf, double px) {
    PangoFontDescription* d = pango_font_description_new();
    pango_font_description_set_family(d, ResolveFontFamily(lf.lfFaceName).c_str());
    pango_font_description_set_weight(d, PangoWeight(lf.lfWeight <= 0 ? 400 : lf.lfWeight));
    pango_font_description_set_style(d, lf.lfItalic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_font_description_set_absolute_size(d, px * PANGO_SCALE);
    return d;
}

// Ratio of a font's cell height (ascent + descent) to its em size.
double cellRatio(const LOGFONT& lf) {
    static std::mutex m;
    static std::map<std::string, double> cache;
    std::string key = ResolveFontFamily(lf.lfFaceName) + "/" + std::to_string(lf.lfWeight) +
                      (lf.lfItalic ? "i" : "");
    {
        std::lock_guard lock(m);
        auto it = cache.find(key);
        if (it != cache.end()) return it->second;
    }
    FontDesc d(baseDesc(lf, 1000));
    PangoFontMetrics* fm = pango_context_get_metrics(context(), d.d, nullptr);
    double ratio = double(pango_font_metrics_get_ascent(fm) + pango_font_metrics_get_descent(fm)) /
                   (1000.0 * PANGO_SCALE);
    pango_font_metrics_unref(fm);
    if (ratio <= 0) ratio = 1.15;
    std::lock_guard lock(m);
    cache[key] = ratio;
    return ratio;
}

double emSize(const LOGFONT& lf) {
    int h = lf.lfHeight;
    if (h == 0) h = -13;
    if (h < 0) return -h;
    return std::max(1.0, h / cellRatio(lf));
}

const LOGFONT& dcFont(HDC dc) {
    static const LOGFONT fallback = [] {
        LOGFONT lf;
        lf.lfHeight = -11;
        lf.lfFaceName = "MS Sans Serif";
        return lf;
    }();
    return dc && dc->st.font ? dc->st.font->lf : fallback;
}

struct Metrics {
    int ascent, descent, aveWidth, maxWidth;
};

Metrics measureMetrics(const LOGFONT& lf) {
    FontDesc d(baseDesc(lf, emSize(lf)));
    PangoFontMetrics* fm = pango_context_get_metrics(context(), d.d, nullptr);
    Metrics m;
    m.ascent = PANGO_PIXELS_CEIL(pango_font_metrics_get_ascent(fm));
    m.descent = PANGO_PIXELS_CEIL(pango_font_metrics_get_descent(fm));
    m.aveWidth = PANGO_PIXELS(pango_font_metrics_get_approximate_char_width(fm));
    m.maxWidth = PANGO_PIXELS(pango_font_metrics_get_approximate_digit_width(fm)) * 2;
    pango_font_metrics_unref(fm);
    return m;
}

// Metrics are asked for on every text call; they depend only on these fields.
Metrics metricsOf(const LOGFONT& lf) {
    static std::mutex mutex;
    static std::map<std::string, Metrics> cache;
    std::string key = lf.lfFaceName + "/" + std::to_string(lf.lfHeight) + "/" +
                      std::to_string(lf.lfWeight) + (lf.lfItalic ? "i" : "");
    {
        std::lock_guard lock(mutex);
        auto it = cache.find(key);
        if (it != cache.end()) return it->second;
    }
    Metrics m = measureMetrics(lf);
    std::lock_guard lock(mutex);
    cache.emplace(key, m);
    return m;
}

struct Layout {
    PangoLayout* l;
    explicit Layout(const LOGFONT& lf) : l(pango_layout_new(context())) {
        FontDesc d(baseDesc(lf, emSize(lf)));
        pango_layout_set_font_description(l, d.d);
    }
    ~Layout() { g_object_unref(l); }
    Layout(const Layout&) = delete;
    Layout& operator=(const Layout&) = delete;
};

// Text with "&" prefixes taken out; `mnemonic` is the byte range to underline.
std::string stripPrefixes(const std::string& s, int& mStart, int& mEnd) {
    std::string out;
    mStart = mEnd = -1;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&') {
            if (i + 1 < s.size() && s[i + 1] == '&') {
                out += '&';
                ++i;
            } else if (i + 1 < s.size()) {
                mStart = int(out.size());
                size_t n = 1;
                auto b = uint8_t(s[i + 1]);
                if (b >= 0xF0)
                    n = 4;
                else if (b >= 0xE0)
                    n = 3;
                else if (b >= 0xC0)
                    n = 2;
                mEnd = mStart + int(std::min(n, s.size() - i - 1));
            }
            continue;
        }
        out += s[i];
    }
    return out;
}

void setAttributes(PangoLayout* l, const LOGFONT& lf, int mStart, int mEnd) {
    PangoAttrList* list = pango_attr_list_new();
    if (lf.lfUnderline)
        pango_attr_list_insert(list, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (lf.lfStrikeOut) pango_attr_list_insert(list, pango_attr_strikethrough_new(TRUE));
    if (mStart >= 0 && mEnd > mStart) {
        PangoAttribute* a = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
        a->start_index = guint(mStart);
        a->end_index = guint(mEnd);
        pango_attr_list_insert(list, a);
    }
    pango_layout_set_attributes(l, list);
    pango_attr_list_unref(list);
}

// The box that holds `r` (relative to the point it turns about) turned by
// `angle` radians counter-clockwise on the screen, placed at (x, y).
RECT turnedBox(const RECT& r, double angle, int x, int y) {
    const double c = std::cos(angle), s = std::sin(angle);
    double l = 1e9, t = 1e9, rt = -1e9, b = -1e9;
    for (int px : {int(r.left), int(r.right)})
        for (int py : {int(r.top), int(r.bottom)}) {
            // y grows downward: a counter-clockwise turn maps (dx, dy) to
            // (dx cos + dy sin, dy cos - dx sin).
            double tx = px * c + py * s, ty = py * c - px * s;
            l = std::min(l, tx), rt = std::max(rt, tx);
            t = std::min(t, ty), b = std::max(b, ty);
        }
    return RECT{x + int(std::floor(l)), y + int(std::floor(t)), x + int(std::ceil(rt)),
                y + int(std::ceil(b))};
}

// Draws the layout with its top-left at (x, y) in logical units, limited to
// `clip` (logical units) when given. A font's escapement (tenths of a degree,
// counter-clockwise) turns the text about (x, y).
void renderLayout(HDC dc, PangoLayout* l, int x, int y, const RECT* clip, int escapement = 0) {
    GdiBitmap* b = dc->target();
    if (!b) return;
    PangoRectangle ink, logical;
    pango_layout_get_pixel_extents(l, &ink, &logical);
    RECT box{x + std::min(ink.x, logical.x) - 1, y + std::min(ink.y, logical.y) - 1,
             x + std::max(ink.x + ink.width, logical.x + logical.width) + 1,
             y + std::max(ink.y + ink.height, logical.y + logical.height) + 1};
    const double angle = (escapement % 3600) * M_PI / 1800.0;
    if (angle != 0)
        box =
            turnedBox(RECT{box.left - x, box.top - y, box.right - x, box.bottom - y}, angle, x, y);
    if (clip && !IntersectRect(&box, &box, clip)) return;
    RECT bb{dc->toBx(box.left), dc->toBy(box.top), dc->toBx(box.right), dc->toBy(box.bottom)};
    RECT bounds{0, 0, b->width, b->height};
    if (!IntersectRect(&bb, &bb, &bounds)) return;
    int w = bb.right - bb.left, h = bb.bottom - bb.top;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return;
    }
    cairo_t* cr = cairo_create(s);
    cairo_translate(cr, dc->toBx(x) - bb.left, dc->toBy(y) - bb.top);
    if (angle != 0) cairo_rotate(cr, -angle);
    pango_cairo_update_context(cr, context());
    pango_layout_context_changed(l);
    pango_cairo_show_layout(cr, l);
    cairo_destroy(cr);
    cairo_surface_flush(s);
    gdi::MaskFill(dc, bb.left, bb.top, w, h, cairo_image_surface_get_data(s),
                  cairo_image_surface_get_stride(s), dc->st.textColor);
    cairo_surface_destroy(s);
}

void fillBackground(HDC dc, RECT r) {
    RECT b{dc->toBx(r.left), dc->toBy(r.top), dc->toBx(r.right), dc->toBy(r.bottom)};
    gdi::FillSpan(dc, b, dc->st.bkColor);
}

} // namespace

BOOL GetTextMetrics(HDC dc, TEXTMETRIC* tm) {
    if (!tm) return 0;
    const LOGFONT& lf = dcFont(dc);
    Metrics m = metricsOf(lf);
    TEXTMETRIC t;
    t.tmAscent = m.ascent;
    t.tmDescent = m.descent;
    t.tmHeight = m.ascent + m.descent;
    t.tmInternalLeading = std::max(0, t.tmHeight - int(std::lround(emSize(lf))));
    t.tmAveCharWidth = m.aveWidth;
    t.tmMaxCharWidth = std::max(m.maxWidth, m.aveWidth);
    t.tmWeight = lf.lfWeight <= 0 ? FW_NORMAL : lf.lfWeight;
    t.tmItalic = lf.lfItalic, t.tmUnderlined = lf.lfUnderline, t.tmStruckOut = lf.lfStrikeOut;
    t.tmCharSet = lf.lfCharSet;
    *tm = t;
    return 1;
}

BOOL GetTextExtentPoint32(HDC dc, const std::string& text, SIZE* size) {
    if (!size) return 0;
    const LOGFONT& lf = dcFont(dc);
    Metrics m = metricsOf(lf);
    Layout lay(lf);
    pango_layout_set_single_paragraph_mode(lay.l, TRUE);
    pango_layout_set_text(lay.l, text.data(), int(text.size()));
    PangoRectangle logical;
    pango_layout_get_pixel_extents(lay.l, nullptr, &logical);
    size->cx = text.empty() ? 0 : logical.width;
    size->cy = m.ascent + m.descent;
    return 1;
}

BOOL GetTextExtentPoint32W(HDC dc, const std::u16string& text, SIZE* size) {
    return GetTextExtentPoint32(dc, Utf16ToUtf8(text), size);
}

BOOL ExtTextOut(HDC dc, int x, int y, UINT options, const RECT* r, const std::string& text) {
    if (!dc) return 0;
    if ((options & ETO_OPAQUE) && r) fillBackground(dc, *r);
    if (text.empty()) return 1;
    const LOGFONT& lf = dcFont(dc);
    Metrics m = metricsOf(lf);
    Layout lay(lf);
    pango_layout_set_single_paragraph_mode(lay.l, TRUE);
    pango_layout_set_text(lay.l, text.data(), int(text.size()));
    setAttributes(lay.l, lf, -1, -1);
    PangoRectangle logical;
    pango_layout_get_pixel_extents(lay.l, nullptr, &logical);
    int w = logical.width, h = m.ascent + m.descent;
    UINT align = dc->st.textAlign;
    if (align & TA_UPDATECP) x = dc->st.curPos.x, y = dc->st.curPos.y;
    const int x0 = x, y0 = y;
    if ((align & TA_CENTER) == TA_CENTER)
        x -= w / 2;
    else if (align & TA_RIGHT)
        x -= w;
    if ((align & TA_BASELINE) == TA_BASELINE)
        y -= m.ascent;
    else if (align & TA_BOTTOM)
        y -= h;
    const int escapement = lf.lfEscapement % 3600;
    if (escapement != 0) {
        // Alignment moved the point along the unturned text: turn that offset too.
        const double a = escapement * M_PI / 1800.0;
        const int ox = x - x0, oy = y - y0;
        x = x0 + int(std::lround(ox * std::cos(a) + oy * std::sin(a)));
        y = y0 + int(std::lround(oy * std::cos(a) - ox * std::sin(a)));
    }
    if (dc->st.bkMode == OPAQUE && !(options & ETO_OPAQUE)) {
        RECT cell = escapement ? turnedBox(RECT{0, 0, w, h}, escapement * M_PI / 1800.0, x, y)
                               : RECT{x, y, x + w, y + h};
        if ((options & ETO_CLIPPED) && r) IntersectRect(&cell, &cell, r);
        fillBackground(dc, cell);
    }
    renderLayout(dc, lay.l, x, y, (options & ETO_CLIPPED) ? r : nullptr, escapement);
    if (align & TA_UPDATECP) {
        const double a = escapement * M_PI / 1800.0;
        const int step = (align & TA_RIGHT) ? -w : w;
        dc->st.curPos.x += int(std::lround(step * std::cos(a)));
        dc->st.curPos.y -= int(std::lround(step * std::sin(a)));
    }
    return 1;
}

BOOL TextOut(HDC dc, int x, int y, const std::string& text) {
    return ExtTextOut(dc, x, y, 0, nullptr, text);
}

int DrawTextEx(HDC dc, const std::string& input, RECT* r, UINT fmt, DRAWTEXTPARAMS* params) {
    if (!dc || !r) return 0;
    const LOGFONT& lf = dcFont(dc);
    RECT box = *r;
    if (params) {
        box.left += params->iLeftMargin;
        box.right -= params->iRightMargin;
        params->uiLengthDrawn = UINT(input.size());
    }
    int mStart = -1, mEnd = -1;
    std::string text = input;
    if (!(fmt & DT_NOPREFIX)) text = stripPrefixes(input, mStart, mEnd);
    if (fmt & DT_HIDEPREFIX) mStart = mEnd = -1;
    if (text.empty()) {
        if (fmt & DT_CALCRECT) r->right = r->left, r->bottom = r->top;
        return 0;
    }
    Metrics m = metricsOf(lf);
    int lineH = m.ascent + m.descent;
    Layout lay(lf);
    bool single = fmt & DT_SINGLELINE;
    pango_layout_set_single_paragraph_mode(lay.l, single);
    pango_layout_set_text(lay.l, text.data(), int(text.size()));
    setAttributes(lay.l, lf, mStart, mEnd);
    int tabChars = params && params->iTabLength > 0 && (fmt & DT_TABSTOP) ? params->iTabLength : 8;
    PangoTabArray* tabs = pango_tab_array_new_with_positions(
        1, TRUE, PANGO_TAB_LEFT, std::max(1, tabChars * std::max(1, m.aveWidth)));
    pango_layout_set_tabs(lay.l, tabs);
    pango_tab_array_free(tabs);
    int boxW = box.right - box.left;
    if ((fmt & DT_WORDBREAK) && !single && boxW > 0) {
        pango_layout_set_width(lay.l, boxW * PANGO_SCALE);
        pango_layout_set_wrap(lay.l, PANGO_WRAP_WORD_CHAR);
    } else if ((fmt & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS)) && boxW > 0 &&
               !(fmt & DT_CALCRECT)) {
        pango_layout_set_width(lay.l, boxW * PANGO_SCALE);
        pango_layout_set_ellipsize(lay.l, (fmt & DT_PATH_ELLIPSIS) ? PANGO_ELLIPSIZE_MIDDLE
                                                                   : PANGO_ELLIPSIZE_END);
    }
    PangoAlignment align = (fmt & DT_CENTER)  ? PANGO_ALIGN_CENTER
                           : (fmt & DT_RIGHT) ? PANGO_ALIGN_RIGHT
                                              : PANGO_ALIGN_LEFT;
    pango_layout_set_alignment(lay.l, align);
    PangoRectangle logical;
    pango_layout_get_pixel_extents(lay.l, nullptr, &logical);
    int lines = pango_layout_get_line_count(lay.l);
    int tw = logical.width;
    int th = std::max(logical.height, lines * lineH);
    if (single) th = lineH;

    if (fmt & DT_CALCRECT) {
        r->right = r->left + tw + (params ? params->iLeftMargin + params->iRightMargin : 0);
        r->bottom = r->top + th;
        return th;
    }
    // The layout's own x offset already places lines when it has a width.
    int x = box.left, y = box.top;
    bool hasWidth = pango_layout_get_width(lay.l) > 0;
    if (!hasWidth) {
        if (fmt & DT_CENTER)
            x = box.left + (boxW - tw) / 2;
        else if (fmt & DT_RIGHT)
            x = box.right - tw;
        x -= logical.x;
    }
    int result = th;
    if (single && (fmt & DT_VCENTER)) {
        y = box.top + (box.bottom - box.top - th) / 2;
        result = y - box.top + th;
    } else if (single && (fmt & DT_BOTTOM)) {
        y = box.bottom - th;
        result = y - box.top + th;
    }
    if (dc->st.bkMode == OPAQUE) {
        RECT bg{hasWidth ? box.left : x + logical.x, y,
                (hasWidth ? box.left : x + logical.x) + (hasWidth ? boxW : tw), y + th};
        if (!(fmt & DT_NOCLIP)) IntersectRect(&bg, &bg, r);
        fillBackground(dc, bg);
    }
    renderLayout(dc, lay.l, x, y, (fmt & DT_NOCLIP) ? nullptr : r);
    return result;
}

int DrawText(HDC dc, const std::string& text, RECT* r, UINT format) {
    return DrawTextEx(dc, text, r, format, nullptr);
}

int DrawTextW(HDC dc, const std::u16string& text, RECT* r, UINT format) {
    return DrawTextEx(dc, Utf16ToUtf8(text), r, format, nullptr);
}
