#pragma once

#include <cstdio>
#include <string>

#include "structure/link.h"

namespace structure_test {

// "<kind> <page>" with the page as "3.0R" or "#5", then the five coordinates
// "left bottom right top zoom" when asked for.
inline std::string Describe(const LinkDestination& dest, bool coordinates = false) {
    std::string text = std::string(kDestKindNames[dest.kind]) + " " +
                       (dest.pageIsRef ? std::to_string(dest.pageRef.number) + "." +
                                             std::to_string(dest.pageRef.generation) + "R"
                                       : "#" + std::to_string(dest.pageNumber));
    if (!coordinates) return text;
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, " %g %g %g %g %g", dest.left, dest.bottom, dest.right,
                  dest.top, dest.zoom);
    return text + numbers;
}

// One line per action with every field it carries; the class decides the
// form and getKind must agree with it.
inline std::string Describe(const LinkAction* action) {
    if (action == nullptr) return "null";
    auto tag = [action](int32_t kind, const std::string& name) {
        return action->getKind() == kind ? name : name + "(kind " + std::to_string(kind) + ")";
    };
    auto target = [](const std::unique_ptr<LinkDestination>& dest, const std::string& named) {
        return dest ? "[" + Describe(*dest) + "]" : "'" + named + "'";
    };
    if (auto* goTo = dynamic_cast<const LinkGoTo*>(action)) {
        return tag(actionGoTo, "GoTo ") + target(goTo->dest, goTo->namedDest);
    }
    if (auto* remote = dynamic_cast<const LinkGoToR*>(action)) {
        return tag(actionGoToR, "GoToR ") + remote->fileName + " " +
               target(remote->dest, remote->namedDest) + (remote->newWindow ? " new" : "");
    }
    if (auto* launch = dynamic_cast<const LinkLaunch*>(action)) {
        return tag(actionLaunch, "Launch ") + launch->fileName + " '" + launch->params + "'";
    }
    if (auto* uri = dynamic_cast<const LinkURI*>(action)) return tag(actionURI, "URI ") + uri->uri;
    if (auto* named = dynamic_cast<const LinkNamed*>(action)) {
        return tag(actionNamed, "Named ") + named->name;
    }
    if (auto* movie = dynamic_cast<const LinkMovie*>(action)) {
        return tag(actionMovie, "Movie ") + std::to_string(movie->annotRef.number) + "." +
               std::to_string(movie->annotRef.generation) + " '" + movie->title + "'";
    }
    if (auto* unknown = dynamic_cast<const LinkUnknown*>(action)) {
        return tag(actionUnknown, "Unknown ") + unknown->action;
    }
    return "unexpected class";
}

}  // namespace structure_test
