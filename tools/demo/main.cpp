// talvorn-demo: an edition of the station (English unless told otherwise) with a scripted
// operator, for scripts/demo. It is the station's own program (the same window library, edition
// record and start-up) with the demo's driver hooked in; the operator's programs have no such
// hook.
// Usage: talvorn-demo [--edition enu|chs|cht] --shots DIR FILE...   (in the working folder, like
// the station)
#include "DemoDriver.h"

#include "gui/app/TransferApp.h"

#include <QApplication>

#include <iostream>
#include <memory>
#include <string>

int main(int argc, char** argv) {
    QString shots;
    QStringList files;
    const Edition* edition = &kEnglishEdition;
    bool editionKnown = true;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--shots" && i + 1 < argc) {
            shots = QString::fromLocal8Bit(argv[++i]);
        } else if (a == "--edition" && i + 1 < argc) {
            const std::string e = argv[++i];
            edition = e == "enu"   ? &kEnglishEdition
                      : e == "chs" ? &kSimplifiedChineseEdition
                      : e == "cht" ? &kTraditionalChineseEdition
                                   : nullptr;
            editionKnown = edition != nullptr;
        } else {
            files << QString::fromLocal8Bit(argv[i]);
        }
    }
    if (shots.isEmpty() || files.isEmpty() || !editionKnown) {
        std::cerr << "usage: talvorn-demo [--edition enu|chs|cht] --shots DIR FILE...\n";
        return 2;
    }
    // The file dialog is Qt's own, so that the demo can pick the files in it.
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    std::unique_ptr<DemoDriver> driver;
    const int status = RunStation(argc, argv, *edition, [&](CTransferApp& app) {
        driver = std::make_unique<DemoDriver>(app, shots, files);
    });
    if (!driver->succeeded()) {
        std::cerr << "demo: stopped at \"" << driver->failedStep().toStdString() << "\"\n";
        return 3;
    }
    return status;
}
