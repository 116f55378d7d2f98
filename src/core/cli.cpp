// SPDX-License-Identifier: GPL-3.0-or-later
// The command-line set-up every program shares.
#include "core/cli.h"

#include "core/files.h"

#ifndef CHAINBALL_VERSION
#define CHAINBALL_VERSION "unknown"
#endif

const char* chainball_version() { return CHAINBALL_VERSION; }

void cli_setup(CLI::App& app, const char* program) {
    app.name(program);
    app.set_help_flag("-h,--help");
    app.set_version_flag("--version", std::string(program) + " " + chainball_version());
    // Subcommands made after this inherit it.
    app.allow_extras();
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.option_defaults()->disable_flag_override();
}

// The option a library error is about: its messages start with the name.
static std::string option_named_in(const CLI::App& app, const std::string& message) {
    std::string best;
    auto look = [&](const CLI::App& a) {
        for (const CLI::Option* o : a.get_options()) {
            // Some messages name the option without its dashes.
            const std::string name = o->get_name();
            const std::string bare = name.substr(name.find_first_not_of('-') == std::string::npos
                                                     ? 0 : name.find_first_not_of('-'));
            for (const std::string& said : {name, bare})
                if (!said.empty() && message.compare(0, said.size(), said) == 0 &&
                    (message.size() == said.size() || message[said.size()] == ':' ||
                     message[said.size()] == ' ') &&
                    name.size() > best.size())
                    best = name;
        }
    };
    look(app);
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) look(*sub);
    return best;
}

std::vector<std::string> cli_unknown(const CLI::App& app) {
    std::vector<std::string> extra;
    // The library keeps the "--" that ends the options among them.
    for (const std::string& a : app.remaining(true))
        if (a != "--") extra.push_back(a);
    return extra;
}

cli_outcome cli_parse(CLI::App& app, int argc, const char* const* argv, std::string& why,
                      std::string& missing) {
    why.clear();
    missing.clear();
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        return CLI_HELP;
    } catch (const CLI::CallForAllHelp&) {
        return CLI_HELP;
    } catch (const CLI::CallForVersion&) {
        return CLI_VERSION;
    } catch (const CLI::ArgumentMismatch& e) {
        const std::string message = e.what();
        const std::string name = option_named_in(app, message);
        if (message.find("disallowed flag override") != std::string::npos) {
            why = "option " + printable(name.empty() ? message : name) + " takes no value";
        } else {
            missing = name;
            why = "option " + printable(name.empty() ? message : name) + " needs a value";
        }
        return CLI_ERROR;
    } catch (const CLI::ParseError& e) {
        // Nothing we set up raises the others; still one line, in its words.
        why = printable(e.what(), 200);
        return CLI_ERROR;
    }
    const std::vector<std::string> extra = cli_unknown(app);
    if (!extra.empty()) {
        why = "unknown option '" + printable(extra[0]) + "'";
        return CLI_ERROR;
    }
    return CLI_RUN;
}

int cli_usage_error(FILE* err, const char* program, const std::string& why) {
    std::fprintf(err, "%s: %s (see %s --help)\n", program, why.c_str(), program);
    return 2;
}
