// Checks shared by the dialog tests: every labelled control carries its visible label as its
// accessible name, and a screenshot of a dialog is kept under the build folder for review.
#pragma once

#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

inline void ExpectLabelledControls(QWidget& dialog) {
    int labelled = 0;
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        if (!label->buddy())
            continue;
        ++labelled;
        EXPECT_EQ(label->buddy()->accessibleName(), label->text())
            << label->buddy()->objectName().toStdString();
    }
    EXPECT_GT(labelled, 0);
}

// Saves build/screenshots/<name>.png.
inline void SaveReviewShot(QWidget& dialog, const QString& name) {
    const QString dir = QStringLiteral(TALVORN_BINARY_DIR "/screenshots");
    QDir().mkpath(dir);
    EXPECT_TRUE(dialog.grab().save(dir + "/" + name + ".png"));
}
