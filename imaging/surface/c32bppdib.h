#pragma once
// A premultiplied-alpha 32-bit picture: a DIB section of bottom-up rows of
// Blue, Green, Red, Alpha bytes (ScanWidth = Width x 4, no gaps), with its
// own memory DC, the loaders that fill it from files, byte arrays, picture
// objects and handles, and the routines that draw, scale, copy and save it.
//
// Nothing here throws: operations report failure by returning false (or by
// leaving the surface empty) and every load empties the surface first; why a
// load failed is kept beside the result (LastError).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QString>

#include "imaging/surface/byte_array.h"
#include "imaging/surface/image_limits.h"
#include "imaging/surface/load_error.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_handles.h"

namespace picture {
class Picture;
}

// Kinds of source the pixels came from.
enum ImageTypeEnum : std::int32_t {
    ImageNone = 0,
    ImageBitmap = 1,
    ImageMetafile = 2,
    ImageIcon = 3,
    ImageEnhMetafile = 4,
    ImageCursor = 5,
    ImageBitmapARGB = 6,
    ImageBitmapPARGB = 7,
    ImageIconARGB = 8,
    ImageGIF = 9,
    ImagePNG = 10,
    ImagePNGIcon = 11,
    ImageCursorARGB = 12,
};

class c32bppDIB {
public:
    c32bppDIB();
    ~c32bppDIB();
    c32bppDIB(const c32bppDIB&) = delete;
    c32bppDIB& operator=(const c32bppDIB&) = delete;

    // ---- The surface ----
    // Creates a zero-filled surface; a negative Height is taken as its size,
    // a negative Width or a Height of 0 fails.
    bool InitializeDIB(std::int32_t Width, std::int32_t Height);
    void DestroyDIB();
    // Selects the DIB into the own DC (created when needed) and returns the
    // DC; with false, deselects it (and deletes the DC unless ManageOwnDC).
    gdi::HDC LoadDIBinDC(bool bLoad);
    bool ManageOwnDC() const { return m_manageOwnDC; }
    void setManageOwnDC(bool bManage);

    // Draws at (X, Y), stretched to dX x dY (below 1: natural size), with
    // per-pixel alpha when Alpha is set and an overall opacity in percent.
    bool Render(gdi::HDC destinationDC, std::int32_t X, std::int32_t Y, std::int32_t dX, std::int32_t dY,
                std::int32_t Opacity);
    // Computes a display size for a destWidth x destHeight box; the pixels
    // are not touched. Mode 0 fits, 1 fits without enlarging, 2 stretches,
    // anything else keeps the actual size.
    void ScaleImage(std::int32_t destWidth, std::int32_t destHeight, std::int32_t& NewWidth,
                    std::int32_t& NewHeight, std::int32_t ScaleMode) const;
    void CopyImageTo(c32bppDIB* cDIBclass, bool CopyOriginalFormat) const;
    bool GetOrginalFormat(ByteArray& outStream) const;

    bool Alpha() const { return m_alpha; }
    std::int32_t ImageType() const { return m_imageType; }
    std::int32_t Width() const { return m_width; }
    std::int32_t Height() const { return m_height; }
    std::uint8_t* BitsPointer() const { return m_bits; }
    std::int32_t ScanWidth() const { return m_width * 4; }
    gdi::HBITMAP Handle() const { return m_dib.get(); }

    // ---- Loading ----
    // Files and streams of 56 bytes or less, missing files and empty arrays
    // are refused up front (the surface is left as it was); otherwise the
    // surface is emptied and the readers try PNG, GIF, ICO/CUR, BMP in turn.
    // True when the surface holds an image. SaveFormat keeps the whole source
    // (the file, or the entire array with its bounds) for GetOrginalFormat.
    bool LoadPicture_File(const QString& FileName, std::int32_t iconCx, std::int32_t iconCy, bool SaveFormat);
    bool LoadPicture_Stream(const ByteArray& inStream, std::int32_t iconCx, std::int32_t iconCy,
                            std::int32_t streamStart, std::int32_t streamLength, bool SaveFormat);
    // The program's own resources are Qt resources. A text ResSection names a
    // custom type: the bytes of ":/<ResSection>/<ResIndex>" are loaded as a
    // stream. A number names a picture kind (0 bitmap, 1 icon, 2 cursor): the
    // bytes of ":/bitmap|icon|cursor/<ResIndex>" go through the platform
    // picture loader. Empties the surface first; false when nothing loaded.
    bool LoadPicture_Resource(const QString& ResIndex, const QString& ResSection, std::int32_t iconCx,
                              std::int32_t iconCy, std::int32_t streamStart, std::int32_t streamLength);
    // Bitmap pictures go to the BMP reader, all others to the icon reader.
    // Neither empties the surface first: a picture the readers refuse leaves
    // the earlier image, and the result reports whether an image is held.
    bool LoadPicture_StdPicture(const picture::Picture* Picture);
    // The handle passes to a picture object and is deleted with it before
    // the call returns; callers that still need it pass a copy.
    bool LoadPicture_ByHandle(gdi::HBITMAP Handle);

    // ---- Limits and failure reasons ----
    // The most pixels (width x height) a load may produce: larger pictures
    // are refused before anything is allocated for them. Kept across loads;
    // imaging::kDefaultPixelLimit unless set (imaging::kIconPixelLimit suits
    // pictures decoded on every paint). InitializeDIB itself is not limited.
    void setPixelLimit(std::int64_t pixels) { m_pixelLimit = pixels; }
    std::int64_t PixelLimit() const { return m_pixelLimit; }
    // Why the last LoadPicture_* call left no image; None after one that
    // loaded. LastErrorText is a sentence for the user in the user's
    // language, with the reader's detail when it gave one.
    LoadError LastError() const { return m_lastError; }
    std::string LastErrorText() const;

    // ---- Saving as a 32-bpp BMP ----
    // Asked before an existing file is replaced; true replaces it. The
    // engine shows no dialog of its own: a program with a window passes
    // ui::confirmOverwrite (platform/ui/message_box.h).
    using OverwriteQuestion = std::function<bool(const QString& FileName)>;
    // The surface's memory unchanged behind the two BMP headers. An existing
    // file is replaced (read-only or not) when PromptOverwrite is false, or
    // when askOverwrite answers true; with PromptOverwrite and no question
    // the file is left alone. False for an empty surface or name, a declined
    // question or a failed write.
    bool SaveToFile(const QString& FileName, bool PromptOverwrite, const OverwriteQuestion& askOverwrite = {});
    bool SaveToStream(ByteArray& outStream) const;

    // ---- For the format readers only ----
    // True when a width x height picture may be loaded under the pixel
    // limit; otherwise records why (TooManyPixels, or Corrupt for a side
    // below 1) and returns false. Call it before allocating for the picture.
    bool acceptsSize(std::int64_t width, std::int64_t height);
    // Empties the surface and records why the load failed, unless a reason
    // is already recorded for this load: the first reader to give one knows
    // the most.
    void failLoad(LoadError error, std::string detail = {});
    void setAlpha(bool alpha) { m_alpha = alpha; }
    void setImageType(std::int32_t type) { m_imageType = type; }
    void setSourceBytes(std::vector<std::uint8_t> bytes)
    {
        m_sourceBytes = std::move(bytes);
        m_sourceLowerBound = 0;
    }
    // Keeps the bytes with the array's own lower bound.
    void setSourceBytes(ByteArray bytes)
    {
        m_sourceBytes = std::move(bytes.data);
        m_sourceLowerBound = bytes.lowerBound;
    }

private:
    bool LoadPictureData(const QString& FileName, ByteArray inStream, std::int32_t iconCx, std::int32_t iconCy,
                         std::int32_t streamStart, std::int32_t streamLength, bool SaveFormat);
    bool offerToReaders(const QString& FileName, ByteArray& inStream, std::int32_t iconCx, std::int32_t iconCy,
                        std::int32_t& streamStart, std::int32_t& streamLength);
    // Ends a load: None when an image is held, else the recorded reason (or
    // `otherwise` when no reader gave one). Returns whether an image is held.
    bool finishLoad(LoadError otherwise);
    // Refuses a load before it starts: the surface is left as it was.
    bool refuse(LoadError error);

    // Declared in this order so that the selection ends first, then the DC,
    // then the bitmap.
    gdi::UniqueBitmap m_dib;
    gdi::UniqueDC m_ownDC;
    gdi::Selection m_selection;  // the DIB in the own DC between LoadDIBinDC(true) and (false)
    std::uint8_t* m_bits = nullptr;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::int32_t m_imageType = ImageNone;
    bool m_manageOwnDC = false;
    bool m_alpha = false;
    std::int64_t m_pixelLimit = imaging::kDefaultPixelLimit;
    LoadError m_lastError = LoadError::None;
    std::string m_lastErrorDetail;
    std::vector<std::uint8_t> m_sourceBytes;
    std::int32_t m_sourceLowerBound = 0;
};
