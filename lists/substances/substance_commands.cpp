// The dispatcher's handlers of the substance lists, the composition lists
// and the drug lists of a substance or of a text search.

#include "frame/commands/dispatcher.h"
#include "lists/substances/composition_lists.h"
#include "lists/substances/substance_drug_lists.h"
#include "lists/substances/substance_lists.h"

void RegisterSubstanceListCommands()
{
    RegisterCommandHandler("OpenComponentList",
                           [](const CommandCall& c) { OpenComponentList(c.code, c.lookup); });
    RegisterCommandHandler("OpenComponentSynonymList",
                           [](const CommandCall& c) { OpenComponentSynonymList(c.code); });
    RegisterCommandHandler("OpenCompositionList", [](const CommandCall& c) { OpenCompositionList(c.code); });
    RegisterCommandHandler("OpenSubstanceDrugList",
                           [](const CommandCall& c) { OpenSubstanceDrugList(c.code); });
    RegisterCommandHandler("OpenTextFoundList", [](const CommandCall& c) { OpenTextFoundList(c.code); });
}
