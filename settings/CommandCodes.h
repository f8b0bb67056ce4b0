// The command codes the menu items carry. Declared here once; the menu table and
// the command handlers use these names.
#pragma once

#include <cstdint>

// File menu.
const uint32_t MFnw = 'MFnw';
const uint32_t MFop = 'MFop';
const uint32_t MFcl = 'MFcl';
const uint32_t MFsv = 'MFsv';
const uint32_t MFsa = 'MFsa';
const uint32_t MFps = 'MFps';
const uint32_t MFpr = 'MFpr';
const uint32_t MFqu = 'MFqu';

// Printers menu: printer models.
const uint32_t MPrw = 'MPrw';
const uint32_t MPas = 'MPas';
const uint32_t MPgn = 'MPgn';
const uint32_t MPhp = 'MPhp';
const uint32_t MPei = 'MPei';
const uint32_t MPed = 'MPed';
const uint32_t MPpp = 'MPpp';

// Printers menu: ports.
const uint32_t MPp1 = 'MPp1';
const uint32_t MPp2 = 'MPp2';
const uint32_t MPs1 = 'MPs1';
const uint32_t MPs2 = 'MPs2';
const uint32_t MPpf = 'MPpf';

// Print Modes menu.
const uint32_t MMtx = 'MMtx';
const uint32_t MMgr = 'MMgr';
const uint32_t MMnm = 'MMnm';
const uint32_t MM12 = 'MM12';
const uint32_t MM15 = 'MM15';
const uint32_t MM17 = 'MM17';
const uint32_t MM20 = 'MM20';
const uint32_t MMdr = 'MMdr';
const uint32_t MMnl = 'MMnl';
const uint32_t MMlq = 'MMlq';
const uint32_t MMps = 'MMps';
const uint32_t MMfx = 'MMfx';
const uint32_t MM1p = 'MM1p';
const uint32_t MM2p = 'MM2p';
const uint32_t MM4p = 'MM4p';
const uint32_t MM8p = 'MM8p';
const uint32_t MM1c = 'MM1c';
const uint32_t MM2c = 'MM2c';
const uint32_t MM3c = 'MM3c';
const uint32_t MM4c = 'MM4c';
const uint32_t MMtr = 'MMtr';
const uint32_t MMlw = 'MMlw';
const uint32_t MMww = 'MMww';

// Command Printer menu.
const uint32_t MCrs = 'MCrs';
const uint32_t MCts = 'MCts';
const uint32_t MCld = 'MCld';
const uint32_t MCej = 'MCej';
const uint32_t MCs0 = 'MCs0';
const uint32_t MCs1 = 'MCs1';
const uint32_t MCs2 = 'MCs2';
const uint32_t MCs3 = 'MCs3';
const uint32_t MCpt = 'MCpt';
const uint32_t MCls = 'MCls';
const uint32_t MClw = 'MClw';
const uint32_t MCtr = 'MCtr';
const uint32_t MCud = 'MCud';
const uint32_t MCbd = 'MCbd';
