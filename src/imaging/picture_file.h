// Picture files: reading a BMP, PNG, JPEG or GIF file into a picture object, and writing a
// picture as a BMP file at the picture's own colour depth, or as a PNG file.
//
// Each step has a home of its own: the headers (imaging/picture_headers.h), BMP through GDI
// (imaging/bmp_codec.h), the other formats through the imaging codecs (imaging/wic_codecs.h) and
// the bytes on the disk (imaging/file_access.h). This header holds what the program asks of a
// picture file and brings those in for their callers.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "base/picture.h"
#include "imaging/bmp_codec.h"
#include "imaging/file_access.h"
#include "imaging/picture_headers.h"
#include "imaging/pixel_image.h"
#include "imaging/wic_codecs.h"

namespace imaging {

// --- Files ---------------------------------------------------------------------------------
//
// Failures raise base::AppError with kErrFileIo (the file could not be read or written: the
// description is the system's own reason, base::SystemErrorText of the Win32 error) or
// kErrInvalidPicture (the description says what is wrong with the picture), so that the caller
// can tell the user why in one sentence. Paths of any length work: names past MAX_PATH go to the
// file functions in their "\\?\" form.

// Reads a picture file (BMP through GDI; PNG, JPEG and GIF through the imaging codecs) into a new
// picture object compatible with the screen. The file is opened with read, write and delete
// sharing, so a file another program is still writing can be read.
base::Picture LoadPictureFile(const std::wstring& path);

// Writes `picture` as a BMP file at its own colour depth (the screen's, for a grab), whatever
// the extension of `path`, through WritePictureFile.
void SavePictureAsBmp(const base::PictureObject& picture, const std::wstring& path, WriteFileFn write = nullptr);

// --- PNG -----------------------------------------------------------------------------------

// True when the name ends in ".png", in any case.
bool IsPngName(const std::wstring& path);
// The pixels of a picture, 32 bits a pixel, top-down.
PixelImage PicturePixels(const base::PictureObject& picture);
// A new picture of width x height at 32 bits a pixel whose pixels `fill` writes (they stay where
// `fill` was given them for the picture's life); null when no bitmap can be made or `fill` fails.
base::Picture MakePicture(int width, int height, const std::function<bool(const PixelBuffer&)>& fill);
// Writes `picture` as PNG when the name ends in .png (any case), else as BMP exactly as
// SavePictureAsBmp does; the same replacing write either way.
void SavePicture(const base::PictureObject& picture, const std::wstring& path, WriteFileFn write = nullptr);

// What the user reads when a save or a load failed:
// "Could not save C:\Talks\x.bmp: There is not enough space on the disk."
// "Could not load C:\Talks\x.jpg: The picture is too large to open (30000 × 30000 pixels)."
std::wstring SaveFailedText(const std::wstring& path, const std::string& reason);
std::wstring LoadFailedText(const std::wstring& path, const std::string& reason);

}  // namespace imaging
