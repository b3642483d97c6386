// What an opened unit and its controller are, and what the update will aim at.
#pragma once

#include <windows.h>

enum class ClassificationOutcome { NoUnit, WrongMode, NoController, Accepted, RecognisedOnly, Incompatible };

// Written only by an Accepted classification, all four fields; never reset.
struct UpdateTargetRecord {
    WORD cellCount;
    WORD variantCode;
    WORD familyCode;
    WORD offeredFirmwareVersion;
};

extern UpdateTargetRecord UpdateTarget;

// Decides from openDevice's result and what identification stored. Shows and closes nothing.
ClassificationOutcome classifyDevice(int openResult);
