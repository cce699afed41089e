#include "imaging/surface/c32bppdib.h"

#include <limits>

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
    if (Height == 0 || Width == 0)
        return false;
    // The byte count must fit a 32-bit size, as the header stores it.
    const std::int64_t bytes = std::int64_t(Width) * Height * 4;
    if (bytes > std::numeric_limits<std::int32_t>::max())
        return false;

    gdi::BITMAPINFOHEADER header;
    header.biWidth = Width;
    header.biHeight = Height;
    header.biBitCount = 32;
    header.biSizeImage = std::uint32_t(bytes);

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
