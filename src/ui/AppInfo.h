#pragma once

#include <QtGlobal>

// The application's name heads its message boxes and the About box; it is a
// name and reads the same in every language. The other texts are shown
// through tr() in the context named beside them.
inline constexpr char kAppName[] = "TolvaneApp";
inline constexpr const char* kAboutMenuText =
    QT_TRANSLATE_NOOP("MainWindow", "关于 TolvaneApp(&A)...");
inline constexpr const char* kAboutCaption = QT_TRANSLATE_NOOP("AboutBox", "关于 TolvaneApp");
inline constexpr const char* kVersionSuffix = QT_TRANSLATE_NOOP("AboutBox", "，1.0 版");
inline constexpr const char* kCreditLine =
    QT_TRANSLATE_NOOP("AboutBox", "Copyright (C) 2024 Tolvane panel developers");
