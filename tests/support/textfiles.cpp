#include "tests/support/textfiles.h"

QStringList Rows(const char* Text) {
    const QString text = QString::fromUtf8(Text);
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('|'));
}
