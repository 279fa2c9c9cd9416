// TALVORN_enu: the English edition of the station.
#include "gui/app/TransferApp.h"

int main(int argc, char** argv) {
    return RunStation(argc, argv, kEnglishEdition);
}
