#include "image_catalogue.h"

#include "classification.h"

namespace {

constexpr WORD anyCellCount = 0;        // families other than 250 and 800 ignore the cell count
constexpr WORD defaultImage = 122;

struct CatalogueRow {
    WORD familyCode;
    WORD variantCode;
    WORD cellCount;
    WORD imageId;
};

// No two rows share a key. Rows no accepted controller reaches are kept: they are the
// maker's catalogue, and 150 is named here although no such image is stored.
const CatalogueRow catalogue[] = {
    {3, 90, anyCellCount, 200},
    {101, 40, anyCellCount, 126}, {101, 55, anyCellCount, 127}, {101, 70, anyCellCount, 128},
    {101, 90, anyCellCount, 130},
    {200, 160, anyCellCount, 119}, {200, 200, anyCellCount, 120},
    {201, 200, anyCellCount, 152},
    {202, 200, anyCellCount, 153},
    {245, 160, anyCellCount, 154}, {245, 200, anyCellCount, 155}, {245, 300, anyCellCount, 156},
    {250, 170, 17, 158}, {250, 170, 20, 174},
    {250, 210, 17, 157}, {250, 210, 20, 173},
    {250, 220, 17, 150}, {250, 220, 20, 150},
    {250, 250, 17, 151}, {250, 250, 20, 172},
    {275, 200, anyCellCount, 159},
    {300, 80, anyCellCount, 124}, {300, 120, anyCellCount, 125},
    {400, 30, anyCellCount, 131}, {400, 40, anyCellCount, 132}, {400, 55, anyCellCount, 133},
    {500, 60, anyCellCount, 140}, {500, 90, anyCellCount, 141}, {500, 140, anyCellCount, 142},
    {550, 90, anyCellCount, 146}, {550, 120, anyCellCount, 147}, {550, 140, anyCellCount, 148},
    {600, 80, anyCellCount, 160},
    {700, 60, anyCellCount, 170}, {700, 90, anyCellCount, 171},
    {800, 180, 21, 177}, {800, 220, 21, 176}, {800, 260, 21, 175},
};

bool familyTestsCellCount(WORD familyCode)
{
    return familyCode == 250 || familyCode == 800;
}

}

WORD selectImage()
{
    for (const CatalogueRow& row : catalogue) {
        if (row.familyCode != UpdateTarget.familyCode || row.variantCode != UpdateTarget.variantCode)
            continue;
        if (!familyTestsCellCount(row.familyCode) || row.cellCount == UpdateTarget.cellCount)
            return row.imageId;
    }
    return defaultImage;
}
