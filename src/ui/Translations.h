#pragma once

class QCoreApplication;

// Shows the window texts in the desktop's language (QLocale::system()) when
// a translation for it is built in; otherwise they stay as written in the
// source. Control captions, commands, records, settings and trace lines are
// never translated.
void installTranslations(QCoreApplication& app);
