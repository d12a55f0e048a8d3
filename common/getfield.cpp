#include "common/getfield.h"

#include "common/fieldsplit_p.h"

QString GetField(const QString& Strng, int l, QChar Quote, QChar Delim) {
    // The working copy carries 30 separators, so fields past the end are empty.
    return TakePaddedField(Strng + QString(30, Delim), l < 1 ? 1 : l, Quote, Delim);
}

bool InDevEnvironment() {
    const QByteArray v = qgetenv("MRV_DEVELOPMENT");
    return !v.isEmpty() && v != "0";
}
