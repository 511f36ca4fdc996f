// Which URLs from the player the extension acts on; shared by the background and the pages.
'use strict';

function urlScheme(text) {
  try {
    return new URL(text).protocol;
  } catch {
    return '';
  }
}

// The files the player may ask for: the network only, never local files.
function isWebUrl(text) {
  return ['http:', 'https:'].includes(urlScheme(text));
}

// Where a link the player follows may lead: never script, data or local files, which would
// run or read in the page's name.
function isLinkUrl(text) {
  return ['http:', 'https:', 'ftp:', 'mailto:'].includes(urlScheme(text));
}
