#pragma once

// The application's name heads its message boxes and the About box.
inline constexpr char kAppName[] = "TolvaneApp";
inline constexpr char kAboutMenuText[] = "关于 TolvaneApp(&A)...";
inline constexpr char kAboutCaption[] = "关于 TolvaneApp";
inline constexpr char kVersionSuffix[] = "，1.0 版";
inline constexpr char kCreditLine[] = "Copyright (C) 2024 Tolvane panel developers";
