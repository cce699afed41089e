#include "imaging/surface/load_error.h"

#include "platform/language/language.h"

std::string loadErrorText(LoadError error)
{
    switch (error) {
    case LoadError::None:
        return lang::tr("The picture loaded.", "图片已载入。");
    case LoadError::NoSource:
        return lang::tr("There is no such file or no data to read.", "没有这个文件，或没有可读的数据。");
    case LoadError::TooSmall:
        return lang::tr("The data is too short to be a picture (56 bytes or less).",
                        "数据太短，不是图片（不超过 56 字节）。");
    case LoadError::Unreadable:
        return lang::tr("The file cannot be read.", "无法读取文件。");
    case LoadError::OutsideArray:
        return lang::tr("The range asked for lies outside the data.", "所请求的范围超出了数据。");
    case LoadError::UnknownFormat:
        return lang::tr("The data is not a picture format that can be read.", "数据不是可读取的图片格式。");
    case LoadError::Truncated:
        return lang::tr("The picture is cut short.", "图片数据不完整。");
    case LoadError::Corrupt:
        return lang::tr("The picture is damaged.", "图片已损坏。");
    case LoadError::BadChecksum:
        return lang::tr("A checksum in the picture does not match its data.", "图片中的校验和与数据不符。");
    case LoadError::Unsupported:
        return lang::tr("This kind of picture is not supported.", "不支持这种图片。");
    case LoadError::TooManyPixels:
        return lang::tr("The picture has more pixels than allowed here.", "图片的像素超过了此处允许的数量。");
    case LoadError::SizeBeyondData:
        return lang::tr("The picture claims a size its data cannot hold.", "图片声明的尺寸超出了其数据所能容纳的范围。");
    case LoadError::BadCompressedData:
        return lang::tr("The compressed picture data is damaged.", "图片的压缩数据已损坏。");
    case LoadError::OutOfMemory:
        return lang::tr("There is not enough memory for the picture.", "内存不足，无法载入图片。");
    }
    return {};
}
