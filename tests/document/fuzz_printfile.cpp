// libFuzzer target for the print-file reader. Every input is read twice: as a whole file and as
// data cut short by a failed read; the document must satisfy printDocumentViolation().
// Build with clang (see scripts/fuzz-printfile.sh); keep every finding in tests/data/fuzz/.

#include "printfilechecks.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const Failure& failure : {Failure{}, Failure{57, QStringLiteral("I/O")}}) {
        const PrintDocument doc = PrintFile::read(bytes, failure);
        const QString violation = printDocumentViolation(doc);
        if (!violation.isEmpty()) {
            std::fprintf(stderr, "violation: %s\n", qPrintable(violation));
            std::abort();
        }
        if (failure.number != 0 && doc.outcome == PrintDocument::Outcome::Complete &&
            doc.readFailure.number == 0) {
            std::fprintf(stderr, "violation: data cut short taken for a whole file\n");
            std::abort();
        }
    }
    return 0;
}
