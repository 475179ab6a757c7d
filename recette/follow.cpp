// The box followed from run to run: a run whose road keeps the box must leave it as it found it, and
// the next run on the box, with no hands in between, tells by its probe whether it did.
#include "recette.h"

// Where the probe read the box, the program goes on with its command, or says that the memory is blank
// first: the first line of each command shows that the run got past the probe.
Found found_by_probe(const std::string &out)
{
    if (out.find(BLANK.substr(0, BLANK.size() - 1)) != std::string::npos)
        return FOUND_BLANK;
    for (const std::string &after : {READING, ERASING, WRITE_VID, USAGE.substr(1)})
        if (out.find(after.substr(0, after.find('\n'))) != std::string::npos)
            return FOUND_PROGRAMMED;
    return NOT_REACHED;
}

static const char *state(Found found)
{
    return found == FOUND_BLANK ? "vierge" : "programmé";
}

std::string follow_the_box(Followed *box, size_t step, bool after_hands, const Road &road, const Run &run)
{
    Found found = found_by_probe(run.out);
    std::string why;
    if (after_hands)
        box->step = 0;
    if (box->step && found != NOT_REACHED && found != box->found)
        why = "à l'étape " + std::to_string(box->step) + ", " + box->command + " a modifié le coffret : il était " +
              state(box->found) + " au début de l'étape " + std::to_string(box->step) + " et " + state(found) +
              " au début de l'étape " + std::to_string(step);
    *box = {keeps_the_box(road) && found != NOT_REACHED ? step : 0, command_of(road), found};
    return why;
}
