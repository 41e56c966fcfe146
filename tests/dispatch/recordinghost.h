#pragma once

#include "watcherhost.h"

#include <QList>
#include <QPair>
#include <QStringList>
#include <array>
#include <functional>

// A print server stand-in that records everything the watcher does. A slot accepts a send while
// it is "connected" (by default: while a workstation name is registered on it).
class RecordingHost : public WatcherHost {
public:
    std::array<QString, Slots + 1> names;
    std::array<bool, Slots + 1> refuseSend{};
    QStringList traces;
    QList<QPair<int, QString>> sent;
    QStringList logs;
    QStringList messages;
    QStringList labels;
    QList<bool> scanTimer;
    std::function<void(const QString&)> onTrace;

    QString registryName(int slot) const override { return names.at(slot); }
    Failure sendOnSlot(int slot, const QString& text) override {
        if (names.at(slot).isEmpty() || refuseSend.at(slot))
            return {10053, QStringLiteral("connessione interrotta")};
        sent.append({slot, text});
        return {};
    }
    void trace(const QString& label) override {
        traces.append(label);
        if (onTrace)
            onTrace(label);
    }
    void log(const QString& text) override { logs.append(text); }
    void message(const QString& line) override { messages.append(line); }
    void setStatusLabel(const QString& text) override { labels.append(text); }
    void setScanTimerEnabled(bool on) override { scanTimer.append(on); }

    void clear() {
        traces.clear();
        sent.clear();
        logs.clear();
        messages.clear();
        labels.clear();
        scanTimer.clear();
    }
};
