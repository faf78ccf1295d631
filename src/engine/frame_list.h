// The frame list of an edit transaction: a C-style doubly linked list of
// tav_id3_v2_frame_node in tag order. The list owns its nodes and their
// entries (and the entries' payloads); functions that change the head return it.
#ifndef TAGMILL_ENGINE_FRAME_LIST_H
#define TAGMILL_ENGINE_FRAME_LIST_H

#include <cstdint>

#include "tagmill/engine.h"

// Appends entry at the tail; returns the (possibly new) head, or null when the
// node cannot be allocated (the list and the entry are then left as they were).
tav_id3_v2_frame_node *tav_frame_list_append(tav_id3_v2_frame_node *head, tav_id3_v2_frame_entry *entry);
// The node at position n counted from the head (0 = head), or null past the end.
tav_id3_v2_frame_node *tav_frame_list_nth(tav_id3_v2_frame_node *head, uint32_t n);
tav_id3_v2_frame_node *tav_frame_list_first(tav_id3_v2_frame_node *head);
tav_id3_v2_frame_node *tav_frame_list_last(tav_id3_v2_frame_node *head);
// Unlinks and frees the node that holds entry (not the entry itself); returns
// the (possibly new) head. A list without that entry is returned unchanged.
tav_id3_v2_frame_node *tav_frame_list_unlink(tav_id3_v2_frame_node *head, const tav_id3_v2_frame_entry *entry);
uint32_t tav_frame_list_length(const tav_id3_v2_frame_node *head);
// Frees every node, every entry and every entry's payload.
void tav_frame_list_free(tav_id3_v2_frame_node *head);

// Releases one entry and its payload.
void tav_frame_entry_free(tav_id3_v2_frame_entry *entry);

#endif
