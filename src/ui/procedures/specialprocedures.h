#pragma once

#include "dopproc.h"
#include "procedures/procedurelink.h"
#include "procedures/programobjects.h"
#include "procedures/statusflags.h"
#include "sendhex.h"
#include "tables.h"

class ErrorTexts;
class FrVelkor;
class ProcedureHost;

// The special procedures' program-wide objects, created once at start-up over the window
// that hosts them.
struct SpecialProcedures
{
    SpecialProcedures(ProgramObjects& objects, ProcedureHost& host, FrVelkor& frLink,
                      const ErrorTexts& errors)
        : link(host, frLink, errors), tables(objects, link), sendHex(objects, link),
          dopProc(objects, link, tables, sendHex), statusFlags(objects.codec)
    {
    }

    ProcedureLink link;
    Tables tables;
    SendHex sendHex;
    DopProc dopProc;
    StatusFlags statusFlags;
};
