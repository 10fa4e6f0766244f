// Freeing of singly linked chains.
#ifndef CORVEL_CHAIN_H
#define CORVEL_CHAIN_H

// Deletes the chain that starts at head, one cell at a time, so that a chain
// of any length costs no call depth. next reads a cell's successor; a cell's
// destructor never deletes its successor.
template <class T>
void delete_chain(T* head, T* (T::*next)() const) {
    while (head) {
        T* following = (head->*next)();
        delete head;
        head = following;
    }
}

#endif
