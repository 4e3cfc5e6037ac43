#pragma once

// The usage text exactly as it reaches a file or a pipe: CR LF line ends.
inline constexpr char kUsageBytes[] =
    "Usage:\r\n"
    "  Quorvane.exe enable|disable render|capture \"Name substring\"\r\n"
    "\r\n"
    "Examples:\r\n"
    "  Quorvane.exe disable render  \"Cable Input - Virtual Speakers (VB-Audio Virtual Cable)\"\r\n"
    "  Quorvane.exe enable  capture \"Cable Output - Virtual Microphone (VB-Audio Virtual "
    "Cable)\"\r\n";
