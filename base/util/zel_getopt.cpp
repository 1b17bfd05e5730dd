// Command-line option parser (base/util/zel_getopt.h). Every read of a word
// is bounded by its terminator: the end of a word is never taken for an
// option letter, so an empty word, a lone "-" or a call after a '?' gives a
// message instead of reading past the text.
#include "base/util/zel_getopt_internal.h"

#include <stdio.h>
#include <string.h>

char *zel_optarg = nullptr;

static ZEL_GETOPT_STATE S_state = {1, 0, -1, nullptr};

void zel_getopt_state_init(ZEL_GETOPT_STATE *state)
{
    state->word = 1;
    state->position = 0;
    state->group = -1;
    state->optarg = nullptr;
}

// The character at the position, '\0' once the position is at or past the
// end of the word; advances the position only inside the word.
static char S_take(ZEL_GETOPT_STATE *state, const char *word)
{
    size_t length = strlen(word);
    if (state->position < 0 || static_cast<size_t>(state->position) >= length)
        return '\0';
    return word[state->position++];
}

static int S_illegal_word(ZEL_GETOPT_STATE *state, const char *word)
{
    printf("illegal option -- %s \n\n", word);
    fflush(stdout);
    state->word++;
    return '?';
}

int zel_getopt_next(ZEL_GETOPT_STATE *state, int argc, char *const argv[], const char *optstring)
{
    if (state == nullptr || argv == nullptr || optstring == nullptr)
        return -1;
    if (state->word < 1 || state->word >= argc || argv[state->word] == nullptr)
        return -1;
    const char *word = argv[state->word];
    int32_t start = state->position;
    state->optarg = state->word + 1 < argc ? argv[state->word + 1] : nullptr;

    char letter = S_take(state, word);
    if (letter != '-')
        return S_illegal_word(state, word);
    while (letter == '-' && state->group == -1) {
        letter = S_take(state, word);
        if (letter == '\0')
            return S_illegal_word(state, word);
    }

    const char *found = strchr(optstring, letter);
    if (found == nullptr) {
        printf("illegal option -- %c \n\n", letter);
        fflush(stdout);
        state->word++;
        return '?';
    }
    int32_t group = 0;
    for (const char *c = optstring; c < found; c++)
        if (*c == ':')
            group++;
    if (found[1] != ':') {
        state->optarg = nullptr;
    } else if (state->optarg == nullptr) {
        printf("%s:option requires an argument -- %c \n", argv[0] ? argv[0] : "", letter);
        fflush(stdout);
        state->word++;
        return '?';
    }
    // A letter of another group ends parsing and leaves the position as it was.
    if (state->group != -1 && group != state->group) {
        state->position = start;
        return -1;
    }

    if (word[state->position] != '\0') {
        state->group = group;
        return static_cast<unsigned char>(letter);
    }
    state->position = 0;
    state->group = -1;
    state->word++;
    // The next word is this option's value unless it looks like an option;
    // "-5" and the like are values.
    if (state->word < argc && argv[state->word] != nullptr) {
        const char *next = argv[state->word];
        if (next[0] != '-' || (next[1] >= '0' && next[1] <= '9'))
            state->word++;
    }
    return static_cast<unsigned char>(letter);
}

int zel_getopt(int argc, char *const argv[], const char *optstring)
{
    int result = zel_getopt_next(&S_state, argc, argv, optstring);
    zel_optarg = S_state.optarg;
    return result;
}
