// Reading an extended dialog template, as the dialog manager does.
#include "win32_double.h"

#include <stdexcept>

namespace win32double {

namespace {

class TemplateReader {
public:
    TemplateReader(const void* bytes, std::size_t size) : bytes_(static_cast<const std::uint8_t*>(bytes)), size_(size) {}

    WORD word()
    {
        const std::uint8_t* at = take(2);
        return static_cast<WORD>(at[0] | (at[1] << 8));
    }
    DWORD dword() { return word() | (static_cast<DWORD>(word()) << 16); }
    BYTE byte() { return *take(1); }
    short coordinate() { return static_cast<short>(word()); }
    std::wstring string()
    {
        std::wstring text;
        for (WORD c = word(); c != 0; c = word())
            text += static_cast<wchar_t>(c);
        return text;
    }
    TemplateName name()
    {
        TemplateName result;
        WORD first = word();
        if (first == 0xFFFF)
            result.ordinal = word();
        else
            for (WORD c = first; c != 0; c = word())
                result.name += static_cast<wchar_t>(c);
        return result;
    }
    void align() { at_ = (at_ + 3) & ~std::size_t{3}; }
    void skip(std::size_t n) { take(n); }
    std::size_t position() const { return at_; }

private:
    const std::uint8_t* take(std::size_t n)
    {
        if (at_ + n > size_)
            throw std::out_of_range("the dialog template ends early");
        const std::uint8_t* start = bytes_ + at_;
        at_ += n;
        return start;
    }
    const std::uint8_t* bytes_;
    std::size_t size_;
    std::size_t at_ = 0;
};

constexpr DWORD dsSetFont = 0x40;

DialogItemTemplate readItem(TemplateReader& in)
{
    in.align();
    DialogItemTemplate item;
    item.helpId = in.dword();
    item.exStyle = in.dword();
    item.style = in.dword();
    item.x = in.coordinate(), item.y = in.coordinate(), item.cx = in.coordinate(), item.cy = in.coordinate();
    item.id = in.dword();
    item.windowClass = in.name();
    item.title = in.name();
    item.creationDataSize = in.word();
    in.skip(item.creationDataSize);
    return item;
}

}

DialogTemplate parseDialogTemplate(const void* bytes, std::size_t size)
{
    TemplateReader in(bytes, size);
    DialogTemplate t;
    t.version = in.word();
    t.signature = in.word();
    if (t.version != 1 || t.signature != 0xFFFF)
        throw std::invalid_argument("not an extended dialog template");
    t.helpId = in.dword();
    t.exStyle = in.dword();
    t.style = in.dword();
    WORD count = in.word();
    t.x = in.coordinate(), t.y = in.coordinate(), t.cx = in.coordinate(), t.cy = in.coordinate();
    t.menu = in.name();
    t.windowClass = in.name();
    t.caption = in.string();
    if (t.style & dsSetFont) {
        t.pointSize = in.word();
        t.weight = in.word();
        t.italic = in.byte();
        t.charset = in.byte();
        t.font = in.string();
    }
    for (WORD i = 0; i < count; ++i)
        t.items.push_back(readItem(in));
    in.align();
    t.size = in.position();
    return t;
}

}
