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

    gdi::HDC screen = gdi::GetDC(nullptr);
    if (m_manageOwnDC)
        m_ownDC = gdi::CreateCompatibleDC(screen);
    void* bits = nullptr;
    m_dib = gdi::CreateDIBSection(screen, header, gdi::DIB_RGB_COLORS, &bits);
    gdi::ReleaseDC(nullptr, screen);
    if (!m_dib)
        return false;
    m_bits = static_cast<std::uint8_t*>(bits);
    m_width = Width;
    m_height = Height;
    return true;
}

void c32bppDIB::DestroyDIB()
{
    if (m_ownDC) {
        if (m_previousObject)
            gdi::SelectObject(m_ownDC, m_previousObject);
        gdi::DeleteDC(m_ownDC);
        m_ownDC = nullptr;
    }
    if (m_dib) {
        gdi::DeleteObject(m_dib);
        m_sourceBytes.clear();
    }
    m_width = 0;
    m_height = 0;
    m_dib = nullptr;
    m_bits = nullptr;
    m_previousObject = nullptr;
    m_alpha = false;
    m_imageType = ImageNone;
}

gdi::HDC c32bppDIB::LoadDIBinDC(bool bLoad)
{
    if (bLoad && m_dib) {
        if (!m_ownDC) {
            gdi::HDC screen = gdi::GetDC(nullptr);
            m_ownDC = gdi::CreateCompatibleDC(screen);
            gdi::ReleaseDC(nullptr, screen);
        }
        if (!m_previousObject)
            m_previousObject = gdi::SelectObject(m_ownDC, m_dib);
        return m_ownDC;
    }
    if (!bLoad) {
        if (m_previousObject && m_ownDC)
            gdi::SelectObject(m_ownDC, m_previousObject);
        if (!m_manageOwnDC && m_ownDC) {
            gdi::DeleteDC(m_ownDC);
            m_ownDC = nullptr;
        }
        m_previousObject = nullptr;
    }
    return nullptr;
}

void c32bppDIB::setManageOwnDC(bool bManage)
{
    if (!bManage) {
        if (m_ownDC && m_dib && m_previousObject)
            gdi::SelectObject(m_ownDC, m_previousObject);
        m_previousObject = nullptr;
        if (m_ownDC)
            gdi::DeleteDC(m_ownDC);
        m_ownDC = nullptr;
    } else if (!m_ownDC && m_dib) {
        gdi::HDC screen = gdi::GetDC(nullptr);
        m_ownDC = gdi::CreateCompatibleDC(screen);
        gdi::ReleaseDC(nullptr, screen);
    }
    m_manageOwnDC = bManage;
}
