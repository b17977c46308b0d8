#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "imageio/bmp_file.h"
#include "imageio/byte_buffer.h"
#include "imageio/image_files.h"
#include "imageio/jpeg_table_check.h"
#include "imageio/native_file.h"
#include "imageio/open_image_file.h"
#include "imageio/png_chunk_check.h"
#include "imageio/png_signature.h"
#include "imageio/pnm_samples.h"
#include "imageio/reader_limits.h"
#include "imageio/sample_image.h"
#include "imageio/stb_decoder.h"
#include "imageio/whole_file.h"

namespace {

enum class FileKind { Empty, Bmp, Pnm, Png, Jpeg, Unknown };

// The IEND chunk that closes every PNG file: no data, then its CRC.
const unsigned char kPngEnd[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};

FileKind KindOf(const unsigned char* head, size_t count) {
    if (count == 0) return FileKind::Empty;
    if (count >= 8 && std::memcmp(head, kPngSignature, 8) == 0) return FileKind::Png;
    if (count >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return FileKind::Jpeg;
    if (count >= 2 && head[0] == 'B' && head[1] == 'M') return FileKind::Bmp;
    if (count >= 2 && head[0] == 'P' && (head[1] == '5' || head[1] == '6')) return FileKind::Pnm;
    return FileKind::Unknown;
}

std::string Problem(const std::string& file, ImageFileError error) {
    return file + " " + DescribeImageFileError(error);
}

// A file still being written holds less than its header declares; its missing rows
// would read as black.
std::string LengthProblem(const std::string& file, int64_t held, int64_t declared) {
    if (held >= declared) return std::string();
    return file + " is incomplete: it holds " + std::to_string(held) + " of " + std::to_string(declared) +
           " bytes";
}

// From the BMP reader's blue-green-red buffer.
bool FromBgr8(const unsigned char* pBgr, int32_t iWidth, int32_t iHeight, SampleImage* pImage) {
    const size_t rowSamples = static_cast<size_t>(iWidth) * 3;
    try {
        pImage->vSamples.resize(rowSamples * static_cast<size_t>(iHeight));
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (int32_t y = 0; y < iHeight; ++y) {
        const unsigned char* in = pBgr + rowSamples * static_cast<size_t>(y);
        uint16_t* out = pImage->vSamples.data() + rowSamples * static_cast<size_t>(y);
        for (size_t i = 0; i < rowSamples; i += 3) {
            out[i] = in[i + 2];
            out[i + 1] = in[i + 1];
            out[i + 2] = in[i];
        }
    }
    pImage->iWidth = iWidth;
    pImage->iHeight = iHeight;
    pImage->iChannels = 3;
    pImage->iBitDepth = 8;
    return true;
}

std::string ReadBmpBgr8(const std::string& file, const SampleSizeCheck& sizeCheck, Bgr8Image* pImage) {
    BmpFile bmp;
    ImageFileError error = bmp.Open(file.c_str());
    if (error != ImageFileError::None) return Problem(file, error);
    if (sizeCheck) {
        std::string problem = sizeCheck(bmp.Width(), bmp.Height());
        if (!problem.empty()) return problem;
    }
    std::unique_ptr<unsigned char[]> pixels = NewPixelBuffer(bmp.Width(), bmp.Height(), 3);
    if (!pixels) return Problem(file, ImageFileError::TooLarge);
    if ((error = bmp.Decode(false, pixels.get())) != ImageFileError::None) return Problem(file, error);
    std::string problem = LengthProblem(file, bmp.HeldLength(), bmp.DeclaredLength());
    if (problem.empty()) {
        pImage->pPixels = std::move(pixels);
        pImage->iWidth = bmp.Width();
        pImage->iHeight = bmp.Height();
    }
    return problem;
}

std::string ReadBmp(const std::string& file, const SampleSizeCheck& sizeCheck, SampleImage* pImage) {
    Bgr8Image bgr;
    std::string problem = ReadBmpBgr8(file, sizeCheck, &bgr);
    if (problem.empty() && !FromBgr8(bgr.pPixels.get(), bgr.iWidth, bgr.iHeight, pImage))
        problem = Problem(file, ImageFileError::TooLarge);
    return problem;
}

// 16-bit samples are rounded to the nearest 8-bit level.
unsigned char To8Bit(uint16_t sample, int iBitDepth) {
    return static_cast<unsigned char>(iBitDepth == 16 ? (uint32_t{sample} * 255 + 32767) / 65535 : sample);
}

// Grey is repeated in blue, green and red; alpha is left out.
bool ToBgr8(const SampleImage& image, Bgr8Image* pImage) {
    std::unique_ptr<unsigned char[]> pixels = NewPixelBuffer(image.iWidth, image.iHeight, 3);
    if (!pixels) return false;
    const size_t count = static_cast<size_t>(image.iWidth) * static_cast<size_t>(image.iHeight);
    const bool colour = image.iChannels >= 3;
    const uint16_t* in = image.vSamples.data();
    unsigned char* out = pixels.get();
    for (size_t i = 0; i < count; ++i, in += image.iChannels, out += 3) {
        out[0] = To8Bit(in[colour ? 2 : 0], image.iBitDepth);
        out[1] = To8Bit(in[colour ? 1 : 0], image.iBitDepth);
        out[2] = To8Bit(in[0], image.iBitDepth);
    }
    pImage->pPixels = std::move(pixels);
    pImage->iWidth = image.iWidth;
    pImage->iHeight = image.iHeight;
    return true;
}

// The decoder's reason, unless the file lacks its closing marker: then it was cut
// short, the likelier story and the one a file still being written tells.
std::string DecodeProblem(const std::string& file, FileKind kind, const ByteBuffer& bytes,
                          const std::string& reason) {
    const unsigned char* end = bytes.data() + bytes.size();
    if (kind == FileKind::Png &&
        (bytes.size() < 8 + sizeof kPngEnd || !std::equal(kPngEnd, kPngEnd + 12, end - 12)))
        return file + " is incomplete: the PNG file ends before its IEND chunk";
    if (kind == FileKind::Jpeg && (bytes.size() < 4 || end[-2] != 0xFF || end[-1] != 0xD9))
        return file + " is incomplete: the JPEG file ends before its end-of-image marker";
    return file + " cannot be decoded: " + reason;
}

std::string ReadWithStb(const std::string& file, FileKind kind, const SampleSizeCheck& sizeCheck,
                        SampleImage* pImage) {
    ByteBuffer bytes;
    const ImageFileError error = ReadWholeFile(file.c_str(), &bytes);
    if (error != ImageFileError::None) return Problem(file, error);
    if (kind == FileKind::Jpeg) {
        const char* tableProblem = JpegTableProblem(bytes.data(), bytes.size());
        if (tableProblem != nullptr) return file + " cannot be decoded: Corrupt JPEG (" + tableProblem + ")";
    }
    if (kind == FileKind::Png) {
        const PngChunkCheck check = CheckPngChunks(bytes.data(), bytes.size());
        if (check.bRunsPastEnd)
            return DecodeProblem(file, kind, bytes, "a chunk runs past the end of the file");
        if (!check.sDamage.empty()) return file + " is damaged: " + check.sDamage;
    }
    StbHeader header;
    std::string reason = ReadStbHeader(bytes.data(), bytes.size(), &header);
    if (!reason.empty()) return DecodeProblem(file, kind, bytes, reason);
    if (!FitsPixelLimit(header.iWidth, header.iHeight)) return Problem(file, ImageFileError::TooLarge);
    if (sizeCheck) {
        std::string problem = sizeCheck(header.iWidth, header.iHeight);
        if (!problem.empty()) return problem;
    }
    reason = DecodeWithStb(bytes.data(), bytes.size(), header, pImage);
    return reason.empty() ? reason : DecodeProblem(file, kind, bytes, reason);
}

std::string ReadPnm(const std::string& file, const SampleSizeCheck& sizeCheck, SampleImage* pImage) {
    ByteBuffer bytes;
    ImageFileError error = ReadWholeFile(file.c_str(), &bytes);
    PnmHeader header;
    if (error == ImageFileError::None) error = ReadPnmHeader(bytes, &header);
    if (error != ImageFileError::None) return Problem(file, error);
    if (sizeCheck) {
        std::string problem =
            sizeCheck(static_cast<int32_t>(header.width), static_cast<int32_t>(header.height));
        if (!problem.empty()) return problem;
    }
    std::string problem = LengthProblem(file, static_cast<int64_t>(bytes.size()), PnmDeclaredLength(header));
    if (problem.empty() && (error = DecodePnmSamples(bytes, header, pImage)) != ImageFileError::None)
        problem = Problem(file, error);
    return problem;
}

// The kind of picture a file holds, from its first bytes; empty when they can be read.
std::string KindOfFile(const std::string& file, FileKind* pKind) {
    unsigned char head[8];
    size_t got = 0;
    InputFile input;
    const ImageFileError error = OpenImageFile(file.c_str(), &input);
    if (error != ImageFileError::None) return Problem(file, error);
    if (!input.ReadAt(0, head, sizeof head, &got)) return Problem(file, ImageFileError::CannotOpen);
    *pKind = KindOf(head, got);
    return std::string();
}

// A header may declare a picture of no pixels, which nothing can use.
std::string NoPixels(const std::string& file, int32_t iWidth, int32_t iHeight) {
    if (iWidth > 0 && iHeight > 0) return std::string();
    return file + " holds no pixels: it is " + std::to_string(iWidth) + " x " + std::to_string(iHeight);
}

// A file of the kind its first bytes told.
std::string ReadSampleImageOfKind(const std::string& file, FileKind kind, const SampleSizeCheck& sizeCheck,
                                  SampleImage* pImage) {
    std::string problem;
    SampleImage image;
    switch (kind) {
        case FileKind::Empty:
            return file + " is empty";
        case FileKind::Unknown:
            return file + " is not a PNG, JPEG, BMP or binary PPM/PGM file";
        case FileKind::Bmp:
            problem = ReadBmp(file, sizeCheck, &image);
            break;
        case FileKind::Pnm:
            problem = ReadPnm(file, sizeCheck, &image);
            break;
        default:
            problem = ReadWithStb(file, kind, sizeCheck, &image);
            break;
    }
    if (problem.empty()) problem = NoPixels(file, image.iWidth, image.iHeight);
    if (problem.empty()) *pImage = std::move(image);
    return problem;
}

}  // namespace

std::string ReadSampleImage(const std::string& file, SampleImage* pImage, const SampleSizeCheck& sizeCheck) {
    FileKind kind = FileKind::Unknown;
    const std::string problem = KindOfFile(file, &kind);
    return problem.empty() ? ReadSampleImageOfKind(file, kind, sizeCheck, pImage) : problem;
}

std::string ReadBgr8Image(const std::string& file, const SampleSizeCheck& sizeCheck, Bgr8Image* pImage) {
    FileKind kind = FileKind::Unknown;
    std::string problem = KindOfFile(file, &kind);
    if (!problem.empty()) return problem;
    Bgr8Image bgr;
    if (kind == FileKind::Bmp) {
        problem = ReadBmpBgr8(file, sizeCheck, &bgr);
        if (problem.empty()) problem = NoPixels(file, bgr.iWidth, bgr.iHeight);
    } else {
        SampleImage image;
        problem = ReadSampleImageOfKind(file, kind, sizeCheck, &image);
        if (problem.empty() && !ToBgr8(image, &bgr)) problem = Problem(file, ImageFileError::TooLarge);
    }
    if (problem.empty()) *pImage = std::move(bgr);
    return problem;
}

std::string ReadSampleImage(const std::string& file, SampleImage* pImage) {
    return ReadSampleImage(file, pImage, SampleSizeCheck());
}
