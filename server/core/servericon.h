#pragma once

#include <QIcon>

// The server's icon (window, notification area, Picture1), drawn so the program needs no image
// files beside it.
QIcon serverIcon();
