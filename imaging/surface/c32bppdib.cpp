#include "imaging/surface/c32bppdib.h"

#include <algorithm>
#include <limits>

#include "platform/language/language.h"

c32bppDIB::c32bppDIB() = default;

c32bppDIB::~c32bppDIB()
{
    DestroyDIB();
}

bool c32bppDIB::InitializeDIB(std::int32_t Width, std::int32_t Height)
{
    DestroyDIB();
    if (Width < 0)
        return false;
    if (Height < 0)
        Height = Height == std::numeric_limits<std::int32_t>::min() ? 0 : -Height;
    // The byte count must fit a 32-bit size, as the header stores it; the
    // pixel limit is for loads, not for surfaces made on purpose.
    const auto bytes = imaging::surfaceBytes(Width, Height, std::numeric_limits<std::int64_t>::max());
    if (!bytes)
        return false;

    gdi::BITMAPINFOHEADER header;
    header.biWidth = Width;
    header.biHeight = Height;
    header.biBitCount = 32;
    header.biSizeImage = std::uint32_t(*bytes);

    if (m_manageOwnDC)
        m_ownDC = gdi::screenCompatibleDC();
    void* bits = nullptr;
    m_dib.reset(gdi::CreateDIBSection(nullptr, header, gdi::DIB_RGB_COLORS, &bits));
    if (!m_dib)
        return false;
    m_bits = static_cast<std::uint8_t*>(bits);
    m_width = Width;
    m_height = Height;
    return true;
}

void c32bppDIB::DestroyDIB()
{
    m_selection.reset();
    m_ownDC.reset();
    if (m_dib) {
        m_dib.reset();
        m_sourceBytes.clear();
    }
    m_width = 0;
    m_height = 0;
    m_bits = nullptr;
    m_alpha = false;
    m_imageType = ImageNone;
}

gdi::HDC c32bppDIB::LoadDIBinDC(bool bLoad)
{
    if (bLoad && m_dib) {
        if (!m_ownDC)
            m_ownDC = gdi::screenCompatibleDC();
        if (!m_selection)
            m_selection = gdi::Selection(m_ownDC.get(), m_dib.get());
        return m_ownDC.get();
    }
    if (!bLoad) {
        m_selection.reset();
        if (!m_manageOwnDC)
            m_ownDC.reset();
    }
    return nullptr;
}

bool c32bppDIB::acceptsSize(std::int64_t width, std::int64_t height)
{
    if (width < 1 || height < 1) {
        failLoad(LoadError::Corrupt, lang::tr("the picture has no pixels", "图片没有像素"));
        return false;
    }
    if (!imaging::surfaceBytes(width, height, m_pixelLimit)) {
        failLoad(LoadError::TooManyPixels,
                 lang::trf("%1 x %2 pixels, at most %3 allowed", "%1 x %2 像素，最多允许 %3",
                           {std::to_string(width), std::to_string(height),
                            std::to_string(std::min<std::int64_t>(m_pixelLimit, std::numeric_limits<std::int32_t>::max() / 4))}));
        return false;
    }
    return true;
}

void c32bppDIB::failLoad(LoadError error, std::string detail)
{
    DestroyDIB();
    if (m_lastError != LoadError::None)
        return;
    m_lastError = error;
    m_lastErrorDetail = std::move(detail);
}

std::string c32bppDIB::LastErrorText() const
{
    std::string text = loadErrorText(m_lastError);
    if (!m_lastErrorDetail.empty()) {
        // The sentence's full stop goes behind the detail.
        const std::string stop = lang::uiLanguage() == lang::Language::Chinese ? "。" : ".";
        if (text.size() >= stop.size() && text.compare(text.size() - stop.size(), stop.size(), stop) == 0)
            text.erase(text.size() - stop.size());
        text += lang::uiLanguage() == lang::Language::Chinese ? "（" + m_lastErrorDetail + "）" + stop
                                                               : " (" + m_lastErrorDetail + ")" + stop;
    }
    return text;
}

void c32bppDIB::setManageOwnDC(bool bManage)
{
    if (!bManage) {
        m_selection.reset();
        m_ownDC.reset();
    } else if (!m_ownDC && m_dib) {
        m_ownDC = gdi::screenCompatibleDC();
    }
    m_manageOwnDC = bManage;
}
