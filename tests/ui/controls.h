#pragma once

// The tests reach a window's controls as a user's tools do: by their design names, which every
// control carries as its object name.

#include <gtest/gtest.h>

#include <QObject>

namespace quillfen::uitest {

// The child of window named name, of type T; a test fails when there is none.
template <class T>
T* FindControl(const QObject& window, const char* name) {
    T* control = nullptr;
    for (QObject* child : window.findChildren<QObject*>(name))
        if ((control = dynamic_cast<T*>(child))) break;
    EXPECT_NE(control, nullptr) << "no control named " << name;
    return control;
}

}  // namespace quillfen::uitest
