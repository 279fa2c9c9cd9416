// The program's own pictures, drawn in code: the window and tray icon, and the two images of the
// node list (0: waiting, being queried or retried; 1: being served or finished).
#pragma once

#include <QIcon>

QIcon StationIcon();
QIcon NodeListImage(int image);
