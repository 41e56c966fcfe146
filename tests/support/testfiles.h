#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QtTest>

// Small file helpers for tests. writeFile creates the file's folder and fails the calling test
// function's check when the file cannot be written; a given modification time is set on it.
inline void writeFile(const QString& path, const QByteArray& content,
                      const QDateTime& modified = QDateTime()) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QVERIFY2(file.write(content) == content.size(), qPrintable(path));
    if (modified.isValid()) {
        QVERIFY(file.flush());
        QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
    }
}

// The file's content; whenMissing when it cannot be read (tests tell "missing" from "empty" by
// passing a marker).
inline QByteArray readFile(const QString& path, const QByteArray& whenMissing = QByteArray()) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : whenMissing;
}
