// The accessibility of every list in the program (the main window's check lists, the dialogs'
// tables, the file library and the views inside Qt's file dialog): an interface of our own in
// place of Qt's table and tree interfaces.
//
// Qt 6.4's own interfaces crash a program that a screen reader (or any AT-SPI client) reads: a
// tree's cells reach the model through indexes its view has not laid out again since the model
// changed, a table without a current index asks for cell (-1, -1), and cells that no longer exist
// reach the bridge. Ours looks every cell up afresh through persistent indexes, answers only for
// cells that exist, and tells a row's check box: the first cell of a checkable row is a check box,
// "checkable" and "checked", whose "Toggle" action ticks and unticks it ("Press" acts like a
// click), and a tick is announced as the state change of that cell.
//
// Children are numbered as Qt's views number them in the events they send (a table counts a
// header row and a header column, shown or not; a tree a header row; a list its rows), so the
// views' own focus and selection events name the right cell.
#pragma once

// Installs the interfaces for every item view of the program (once; later calls do nothing).
// Call it after the QApplication exists and before the first window is shown.
void InstallListAccessibility();
