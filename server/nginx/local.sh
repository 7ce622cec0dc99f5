# shellcheck shell=bash
# Runs a private nginx with the launcher's site on 127.0.0.1:80, for the demo and the tests.
# Source this file, then:
#   local_nginx_start PREFIX ROOT [HTTP_DIRECTIVES]
#                                   writes PREFIX/nginx.conf serving ROOT/launcher/, with the
#                                   optional directives in its http block ahead of the site,
#                                   and starts nginx; when it returns, nginx is listening
#   local_nginx_stop PREFIX         stops the nginx started with that prefix; when it returns,
#                                   every request it answered is in the access log
# The access log PREFIX/access.log holds one "METHOD URI STATUS" line per request.

local_nginx_site=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/zelmora-launcher.conf

local_nginx_start() {
    local prefix=$1 root=$2 extra=${3:-} user=""
    mkdir -p "$prefix/tmp" || return 1
    # Workers drop to nobody when nginx runs as the real root; inside a user namespace only
    # our own id is mapped, so they stay who we are.
    if [ "$(id -u)" = 0 ] && grep -qE '^ +0 +0 +4294967295$' /proc/self/uid_map; then
        user="user nobody nogroup;"
    else
        user="user $(id -un) $(id -gn);"
    fi
    {
        cat <<CONF
$user
worker_processes 1;
pid $prefix/nginx.pid;
error_log $prefix/error.log;
events { worker_connections 64; }
http {
    log_format methods '\$request_method \$uri \$status';
    access_log $prefix/access.log methods;
    client_body_temp_path $prefix/tmp/body;
    proxy_temp_path $prefix/tmp/proxy;
    fastcgi_temp_path $prefix/tmp/fastcgi;
    uwsgi_temp_path $prefix/tmp/uwsgi;
    scgi_temp_path $prefix/tmp/scgi;
    $extra
CONF
        sed -e "s|^\([[:space:]]*\)root [^;]*;|\1root $root;|" \
            -e "s|^\([[:space:]]*\)listen [^;]*;|\1listen 127.0.0.1:80;|" "$local_nginx_site"
        echo "}"
    } >"$prefix/nginx.conf" || return 1
    # nginx has bound its port before the starting command returns.
    nginx -p "$prefix" -c "$prefix/nginx.conf" -e "$prefix/error.log"
}

local_nginx_stop() {
    local prefix=$1 pid i=0
    pid=$(cat "$prefix/nginx.pid" 2>/dev/null) || return 0
    # A graceful stop lets open connections finish and log their requests; the master removes
    # its pid file when it is gone.
    kill -QUIT "$pid" 2>/dev/null || return 0
    while [ -e "$prefix/nginx.pid" ] && [ $i -lt 600 ]; do
        sleep 0.05
        i=$((i + 1))
    done
}
