#pragma once

// Where users reach us: shown in error reports and by the help buttons.
inline constexpr char kSupportAddress[] = "support@quorvex.example";
inline constexpr char kContactPage[] = "https://quorvex.example/contact";
