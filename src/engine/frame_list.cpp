// The edit transaction's frame list: append, position lookup, unlink, length
// and release of a doubly linked list of frame entries. Appending walks to the
// tail, which is fine for the few dozen frames of a real tag.
#include "engine/frame_list.h"

#include "tagmill/platform.h"

tav_id3_v2_frame_node *tav_frame_list_append(tav_id3_v2_frame_node *head, tav_id3_v2_frame_entry *entry) {
    tav_id3_v2_frame_node *node = static_cast<tav_id3_v2_frame_node *>(tav_rud_calloc(sizeof *node));
    if (!node) return nullptr;
    node->entry = entry;
    tav_id3_v2_frame_node *tail = tav_frame_list_last(head);
    if (!tail) return node;
    tail->next = node;
    node->prev = tail;
    return head;
}

tav_id3_v2_frame_node *tav_frame_list_nth(tav_id3_v2_frame_node *head, uint32_t n) {
    tav_id3_v2_frame_node *node = head;
    while (node && n > 0) {
        node = node->next;
        --n;
    }
    return node;
}

tav_id3_v2_frame_node *tav_frame_list_first(tav_id3_v2_frame_node *head) { return head; }

tav_id3_v2_frame_node *tav_frame_list_last(tav_id3_v2_frame_node *head) {
    tav_id3_v2_frame_node *node = head;
    while (node && node->next) node = node->next;
    return node;
}

tav_id3_v2_frame_node *tav_frame_list_unlink(tav_id3_v2_frame_node *head, const tav_id3_v2_frame_entry *entry) {
    tav_id3_v2_frame_node *node = head;
    while (node && node->entry != entry) node = node->next;
    if (!node) return head;
    if (node->prev) node->prev->next = node->next;
    if (node->next) node->next->prev = node->prev;
    tav_id3_v2_frame_node *new_head = (node == head) ? node->next : head;
    tav_rud_free(node);
    return new_head;
}

uint32_t tav_frame_list_length(const tav_id3_v2_frame_node *head) {
    uint32_t n = 0;
    for (const tav_id3_v2_frame_node *node = head; node; node = node->next) ++n;
    return n;
}

void tav_frame_entry_free(tav_id3_v2_frame_entry *entry) {
    if (!entry) return;
    tav_rud_free(entry->payload);
    tav_rud_free(entry);
}

void tav_frame_list_free(tav_id3_v2_frame_node *head) {
    tav_id3_v2_frame_node *node = head;
    while (node) {
        tav_id3_v2_frame_node *next = node->next;
        tav_frame_entry_free(node->entry);
        tav_rud_free(node);
        node = next;
    }
}
