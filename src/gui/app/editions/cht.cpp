// TALVORN_cht: the Traditional Chinese edition of the station.
#include "gui/app/TransferApp.h"

int main(int argc, char** argv) {
    return RunStation(argc, argv, kTraditionalChineseEdition);
}
