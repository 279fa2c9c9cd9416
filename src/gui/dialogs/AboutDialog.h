// Edition Information: the station's picture, name and version, and OK.
#pragma once

class QWidget;

void RunEditionInformation(QWidget* parent);
