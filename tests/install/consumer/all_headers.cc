// Includes every installed header (the list is made at install time): they must compile with
// what the install holds and nothing else.
#include ALL_HEADERS
