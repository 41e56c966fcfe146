#pragma once

#include <QRectF>

// Template lengths (millimetres) in the pixels of the device a report is drawn on.
struct DeviceScale {
    double dpiX = 72;
    double dpiY = 72;

    double x(double mm) const { return mm * dpiX / 25.4; }
    double y(double mm) const { return mm * dpiY / 25.4; }
    QRectF rect(const QRectF& mm) const {
        return QRectF(x(mm.left()), y(mm.top()), x(mm.width()), y(mm.height()));
    }
};
