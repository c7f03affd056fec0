// What the overlay and live drawing share of the picture commands.
#pragma once

#include <windows.h>

#include "base/picture.h"
#include "forms/common_dialog.h"
#include "imaging/picture_file.h"

namespace overlay {

// Ctrl+S's file: asks for a name in the Save As dialog (`dialog`, owned by `owner`), writes `grab`
// there (PNG for a name ending in .png, BMP for any other) and confirms "Image successfully saved
// at " and the path. Cancel raises the dialog's cancel error; a failed write tells the user why
// and raises its error again.
void SaveScreenPicture(forms::CommonDialog& dialog, HWND owner, const base::Picture& grab, imaging::WriteFileFn write);

}  // namespace overlay
