// Small vocabulary shared by the toolbox, the plug-in and the tools: the BOOL
// results of the host interface and the Win32 values of message-box styles,
// dialog answers and virtual keys, under their familiar names.
#pragma once

#include "platform/platform.h"

#include <cstdint>

using BOOL = int;
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

using DWORD = uint32_t;
using HWND = plat::WindowHandle;
using HKEY = plat::RegistryKey*;
constexpr DWORD INFINITE_WAIT = plat::kInfinite;

// Message-box styles and answers (AfxMessageBox).
constexpr unsigned MB_OK = plat::kMbOk;
constexpr unsigned MB_OKCANCEL = plat::kMbOkCancel;
constexpr unsigned MB_YESNOCANCEL = plat::kMbYesNoCancel;
constexpr unsigned MB_YESNO = plat::kMbYesNo;
constexpr unsigned MB_ICONHAND = plat::kMbIconHand;
constexpr unsigned MB_ICONSTOP = plat::kMbIconHand;
constexpr unsigned MB_ICONQUESTION = plat::kMbIconQuestion;
constexpr unsigned MB_ICONEXCLAMATION = plat::kMbIconExclamation;
constexpr unsigned MB_SYSTEMMODAL = plat::kMbSystemModal;
constexpr int IDOK = plat::kIdOk;
constexpr int IDCANCEL = plat::kIdCancel;
constexpr int IDYES = plat::kIdYes;
constexpr int IDNO = plat::kIdNo;

// Virtual-key codes used by the protocols.
constexpr uint16_t VK_RETURN = 0x0D;
constexpr uint16_t VK_ESCAPE = 0x1B;
constexpr uint16_t VK_F8 = 0x77;

// AfxMessageBox: shows text with the given style through the platform's user
// interface and returns the answer (IDOK, IDYES, IDNO, IDCANCEL).
int AfxMessageBox(const std::string& text, unsigned style = MB_OK);
